#pragma once

#include <QString>
#include <QStringList>

namespace ProgramInfo {

// The program file's name without folder, cut at its first ".", first character
// kept and the rest lower-cased: "SCORELANE" and "Scorelane.old" give "Scorelane".
QString titleFromPath(const QString &programPath);

// The title of the running program.
QString title();

// The running program's folder, ending in a path separator.
QString folder();

// Where the program's data files (background, logos, help file) are looked for, each
// ending in a separator, in this order: first, the place operators have always used
// (the program folder for pictures, the working folder for the help file); the per-user
// data folder ~/.local/share/Quellmark/<title>/; the installed data folder
// <prefix>/share/scorelane/, found from the program folder so that a package may be
// installed under any prefix.
QStringList dataFolders(const QString &first = folder());

// The first of folders that holds a file called name, as that folder + name; empty
// when none does. Only the first file found counts, even when it cannot be read.
QString findDataFile(const QString &name, const QStringList &folders = dataFolders());

// The open dialog's first folder: the program folder where operators keep their lists, but
// the user's documents folder (else home) for an installed program, whose folder is under
// /usr or not writable.
QString firstOpenFolder(const QString &programFolder);

} // namespace ProgramInfo
