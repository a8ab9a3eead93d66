#include "scoring/marks.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

namespace {

constexpr int kSharedNumbers = 10000;
constexpr int kSharedNumberWidth = 5; // four digits and a terminating zero

// Never freed: cells anywhere may still point into it when static objects go. Copies
// share it without reference counting, so placing a large table neither allocates nor
// pays an atomic operation per cell for its totals and places.
char16_t *sharedNumberStorage()
{
    static char16_t *const block = new char16_t[size_t(kSharedNumbers) * kSharedNumberWidth]();
    return block;
}

} // namespace

bool parseMark(QStringView text, int &value)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < size && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == size)
        return false;
    qint64 magnitude = 0;
    const qint64 limit
        = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    for (; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            return false;
    }
    value = int(negative ? -magnitude : magnitude);
    return true;
}

bool isBlankText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

MarkTally tallyMarks(std::span<const QStringView> marks)
{
    MarkTally tally;
    for (size_t i = 0; i < marks.size(); ++i) {
        int value = 0;
        if (!parseMark(marks[i], value))
            continue;
        const int judge = int(i) + 1;
        if (value < tally.lowest) {
            tally.lowest = value;
            tally.lowestJudge = judge;
        }
        if (value > tally.highest) {
            tally.highest = value;
            tally.highestJudge = judge;
        }
        tally.sum += value;
        ++tally.count;
    }
    return tally;
}

QString numberText(qint64 value)
{
    if (value < 0 || value >= kSharedNumbers)
        return QString::number(value);
    char16_t *text = sharedNumberStorage() + value * kSharedNumberWidth;
    if (text[0] == 0) {
        char digits[kSharedNumberWidth] = {};
        const int length = std::snprintf(digits, sizeof digits, "%d", int(value));
        for (int i = 0; i < length; ++i)
            text[i] = char16_t(digits[i]);
    }
    return QString::fromRawData(
        reinterpret_cast<const QChar *>(text), qsizetype(std::char_traits<char16_t>::length(text)));
}
