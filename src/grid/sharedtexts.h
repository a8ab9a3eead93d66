#pragma once

#include <QString>
#include <QStringView>

// Texts of one or two ASCII characters (marks, totals, small places, start numbers)
// repeat all over a table. They come from one table that is never freed: a copy is a
// pointer, with neither a heap block of its own nor a reference count.
namespace SharedTexts {

constexpr qsizetype kMaxSize = 2;

inline bool isShort(QStringView text)
{
    const qsizetype size = text.size();
    return size >= 1 && size <= kMaxSize && text[0].unicode() < 0x80 && text[size - 1].unicode() < 0x80;
}

// The shared text equal to text, which isShort() must accept.
const QString &shared(QStringView text);

// The shared text of one or two ASCII bytes; nullptr for any other bytes.
const QString *find(const char *data, qsizetype size);

} // namespace SharedTexts
