#include "grid/sortcompare.h"

#include <QLocale>

bool hasAsciiCapitals(QStringView text)
{
    for (QChar c : text) {
        if (c >= u'A' && c <= u'Z')
            return true;
    }
    return false;
}

QString lowerAsciiLetters(const QString &text)
{
    const qsizetype size = text.size();
    qsizetype first = 0;
    while (first < size && !(text[first] >= u'A' && text[first] <= u'Z'))
        ++first;
    if (first == size)
        return text;
    QString lower = text;
    QChar *data = lower.data();
    for (qsizetype i = first; i < size; ++i) {
        if (data[i] >= u'A' && data[i] <= u'Z')
            data[i] = QChar(data[i].unicode() + (u'a' - u'A'));
    }
    return lower;
}

int byteCompare(QStringView left, QStringView right)
{
    const qsizetype n = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int difference = int(left[i].unicode()) - int(right[i].unicode());
        if (difference != 0)
            return difference;
    }
    if (left.size() == right.size())
        return 0;
    return left.size() < right.size() ? -1 : 1;
}

static bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool textToFloat(QStringView text, double &value)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    if (begin == end)
        return false;

    // Plain integers are by far the most common key; read them without the locale.
    qsizetype i = begin;
    const bool negative = text[i] == u'-';
    if (negative || text[i] == u'+')
        ++i;
    if (i < end && end - i <= 15) {
        qint64 whole = 0;
        qsizetype k = i;
        while (k < end && text[k] >= u'0' && text[k] <= u'9') {
            whole = whole * 10 + (text[k].unicode() - u'0');
            ++k;
        }
        if (k == end) {
            value = negative ? -double(whole) : double(whole);
            return true;
        }
    }

    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    value = locale.toDouble(text.sliced(begin, end - begin), &ok);
    return ok;
}

void prepareSortEntry(TSortedListEntry &entry, TSortStyle style)
{
    if (style == ssNumeric)
        entry.isNumber = textToFloat(entry.key, entry.number);
}

int compareByStyle(const TSortedListEntry &left, const TSortedListEntry &right, TSortStyle style,
    const TCustomCompare &custom)
{
    switch (style) {
    case ssNumeric:
        return compareNumeric(left, right);
    case ssCustom:
        if (custom)
            return custom(left.key.toString(), right.key.toString());
        return byteCompare(left.key, right.key);
    default:
        return byteCompare(left.key, right.key);
    }
}

int compareEntries(const TSortedListEntry &left, const TSortedListEntry &right, TSortStyle style,
    TSortDirection direction, const TCustomCompare &custom)
{
    return finishComparison(compareByStyle(left, right, style, custom), left, right, direction);
}

void quickSortEntries(
    TSortedList &list, TSortStyle style, TSortDirection direction, const TCustomCompare &custom)
{
    if (list.size() < 2)
        return;
    const int high = int(list.size()) - 1;
    // The placing sorts numerically; give that comparison a loop of its own.
    if (style == ssNumeric) {
        boundedQuickSort(list, 0, high, [direction](const TSortedListEntry &l, const TSortedListEntry &r) {
            return finishComparison(compareNumeric(l, r), l, r, direction);
        });
        return;
    }
    boundedQuickSort(list, 0, high, [&](const TSortedListEntry &l, const TSortedListEntry &r) {
        return compareEntries(l, r, style, direction, custom);
    });
}
