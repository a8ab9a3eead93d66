#pragma once

// libjpeg for our reader and writer: an error manager that never prints and never ends the
// program. Errors longjmp back to the setjmp of the function that drives libjpeg.

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

struct JpegErrorManager
{
    jpeg_error_mgr pub; // first: libjpeg only sees this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

jpeg_error_mgr *jpegInstallErrorManager(JpegErrorManager *err);

// Ends the current libjpeg run with our own message.
[[noreturn]] void jpegFail(j_common_ptr cinfo, const char *message);
