#include "video/videoerror.h"

#include <glib.h>

namespace {

QString messageOf(const QString &text, std::uint32_t code)
{
    return text + QStringLiteral(" ($%1).").arg(QString::number(code, 16).toUpper());
}

QString takeText(GError *error)
{
    if (!error)
        return QStringLiteral("Unknown error");
    const QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    // The framework's texts are one line; a long one is cut as the error box takes it.
    return text.left(255);
}

} // namespace

EDirectShowException::EDirectShowException(const QString &text, VideoStep step)
    : CommandError(messageOf(text, std::uint32_t(step)))
    , m_text(text)
    , m_code(std::uint32_t(step))
{ }

EDirectShowException::EDirectShowException(GError *error, VideoStep step)
    : EDirectShowException(takeText(error), step)
{ }
