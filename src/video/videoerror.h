#pragma once

#include "platform/commanderror.h"

#include <QString>

#include <cstdint>

typedef struct _GError GError;

// Our codes for the step of building or running a preview that failed; the error box shows
// them after the media framework's own text.
enum class VideoStep : std::uint32_t
{
    CreateGraph = 0x80A10001,
    AddSource = 0x80A10002,
    AddRenderer = 0x80A10003,
    RenderPreview = 0x80A10004,
    StartPreview = 0x80A10005,
    Run = 0x80A10006,
};

// A failure of the capture and preview layer: the framework's error text, then " ($%X)."
// with the code of the failing step.
class EDirectShowException : public CommandError
{
public:
    EDirectShowException(const QString &text, VideoStep step);
    // Takes the text from a GError (which may be null) and frees it.
    EDirectShowException(GError *error, VideoStep step);

    std::uint32_t code() const { return m_code; }
    QString errorText() const { return m_text; }

private:
    QString m_text;
    std::uint32_t m_code;
};
