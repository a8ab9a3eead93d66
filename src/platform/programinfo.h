#pragma once

#include <QString>

namespace ProgramInfo {

// The program file's name without folder, cut at its first ".", first character
// kept and the rest lower-cased: "SCORELANE" and "Scorelane.old" give "Scorelane".
QString titleFromPath(const QString &programPath);

// The title of the running program.
QString title();

// The running program's folder, ending in a path separator.
QString folder();

} // namespace ProgramInfo
