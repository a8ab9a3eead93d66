#include "grid/statictexts.h"

#include <cstdio>
#include <string>

namespace StaticTexts {

namespace {

constexpr int kNumbers = 10000;
constexpr int kNumberWidth = 5; // four digits and a terminating zero

// Never freed: cells anywhere may still point into it when static objects go.
char16_t *numberStorage()
{
    static char16_t *const block = new char16_t[size_t(kNumbers) * kNumberWidth]();
    return block;
}

} // namespace

QString number(qint64 value)
{
    if (value < 0 || value >= kNumbers)
        return QString::number(value);
    char16_t *text = numberStorage() + value * kNumberWidth;
    if (text[0] == 0) {
        char digits[kNumberWidth] = {};
        const int length = std::snprintf(digits, sizeof digits, "%d", int(value));
        for (int i = 0; i < length; ++i)
            text[i] = char16_t(digits[i]);
    }
    return QString::fromRawData(
        reinterpret_cast<const QChar *>(text), qsizetype(std::char_traits<char16_t>::length(text)));
}

} // namespace StaticTexts
