#pragma once

#include <QString>

// The video module: the live picture's code with GStreamer, a library of its own that the
// program loads at the picture's first use instead of at start. It lives beside the program
// in a build tree, in the program's library folder when installed.
namespace VideoModule {

// Where the module is loaded from.
QString path();
// Tests load the module just built.
void setPath(const QString &path);

// The module's function of that name, with the module loaded once and kept for the rest of
// the run; nullptr when the module cannot be loaded (it is tried again at the next call) or
// has no such function, and then the reason is in the log.
QFunctionPointer resolve(const char *name);

} // namespace VideoModule
