#include "platform/jpeglibsupport.h"

#include <QByteArray>

namespace {

[[noreturn]] void exitWithMessage(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<JpegErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void staySilent(j_common_ptr) { }

} // namespace

jpeg_error_mgr *jpegInstallErrorManager(JpegErrorManager *err)
{
    jpeg_std_error(&err->pub);
    err->pub.error_exit = exitWithMessage;
    err->pub.output_message = staySilent;
    err->message[0] = '\0';
    return &err->pub;
}

void jpegFail(j_common_ptr cinfo, const char *message)
{
    auto *err = reinterpret_cast<JpegErrorManager *>(cinfo->err);
    qstrncpy(err->message, message, sizeof err->message);
    std::longjmp(err->jump, 1);
}
