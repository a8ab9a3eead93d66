#pragma once

#include "platform/sidethread.h"

// Fontconfig's set-up (its configuration files parsed, its font caches read: some
// milliseconds of system calls) on a thread of its own, started first thing in main(), so
// that it runs on a second core while the libraries' start, the application object and the
// translations take the first; the main window's first text then finds it done. The thread
// only calls fontconfig, which sets itself up once for the process whichever thread asks
// first, and never touches Qt.
class FontWarmUp
{
public:
    FontWarmUp();

    // Waits for the set-up to end; called before the first font is used, so that Qt does not
    // start a second set-up beside it.
    void finish();

private:
    SideThread m_thread;
};
