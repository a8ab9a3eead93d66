#include "scoring/marks.h"

#include <algorithm>
#include <atomic>
#include <limits>

namespace {

// Shared texts for every number a table of up to a million rows shows as a total or a
// place, made a block at a time on first use.
constexpr int kBlockNumbers = 8192;
constexpr int kBlocks = 128;
constexpr int kSharedNumberWidth = 8; // up to seven digits, then zeros

qsizetype decimalDigits(qint64 value)
{
    qsizetype digits = 1;
    for (; value >= 10; value /= 10)
        ++digits;
    return digits;
}

// Never freed: cells anywhere may still point into them when static objects go. Copies
// share them without reference counting, so placing a large table neither allocates nor
// pays an atomic operation per cell for its totals and places. A block is written whole
// before it is published, so any thread may read what it finds.
const char16_t *sharedNumberBlock(int block)
{
    static std::atomic<const char16_t *> blocks[kBlocks] = {};
    std::atomic<const char16_t *> &slot = blocks[block];
    if (const char16_t *found = slot.load(std::memory_order_acquire))
        return found;
    auto *made = new char16_t[size_t(kBlockNumbers) * kSharedNumberWidth]();
    for (int i = 0; i < kBlockNumbers; ++i) {
        const int value = block * kBlockNumbers + i;
        char16_t *text = made + size_t(i) * kSharedNumberWidth;
        for (qsizetype d = decimalDigits(value) - 1, rest = value; d >= 0; --d, rest /= 10)
            text[d] = char16_t(u'0' + rest % 10);
    }
    const char16_t *expected = nullptr;
    if (slot.compare_exchange_strong(expected, made, std::memory_order_acq_rel))
        return made;
    delete[] made; // another thread was first
    return expected;
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
    if (value < 0 || value >= qint64(kBlockNumbers) * kBlocks)
        return QString::number(value);
    const char16_t *text
        = sharedNumberBlock(int(value / kBlockNumbers)) + (value % kBlockNumbers) * kSharedNumberWidth;
    return QString::fromRawData(reinterpret_cast<const QChar *>(text), decimalDigits(value));
}
