#pragma once

#include "grid/sortoptions.h"

#include <QString>
#include <QStringView>

#include <vector>

// One data row during one sorting pass. The key is prepared once per pass so that
// the comparison never converts the same text twice. The key views a text that
// outlives the pass: the grid's cell, or its lower-cased copy.
struct TSortedListEntry
{
    QStringView key;
    int rowNumber = 0;
    bool isNumber = false;
    double number = 0.0;
};

using TSortedList = std::vector<TSortedListEntry>;

// Lower-cases A-Z only; every other character stays as it is.
QString lowerAsciiLetters(const QString &text);
bool hasAsciiCapitals(QStringView text);

// Byte-wise comparison: first difference decides, a prefix is smaller.
int byteCompare(QStringView left, QStringView right);

// Floating-point conversion with the locale's decimal separator, blanks around allowed,
// no thousands separators. Empty text and anything not finite do not convert.
bool textToFloat(QStringView text, double &value);

// Date and time in the locale's short formats or as ISO 8601; a time alone counts
// as that time on the calendar's day zero. The value orders like the date and time.
bool textToDateTime(QStringView text, double &value);
// A time of day in the locale's short format or as ISO 8601.
bool textToTime(QStringView text, double &value);

// Mixed text-and-number comparison: "Item 9" before "Item 10".
int compareNumericExtended(QStringView a, QStringView b);

// Fills an entry's prepared fields for the given style.
void prepareSortEntry(TSortedListEntry &entry, TSortStyle style);

// Style comparison of two prepared entries, before the row-number tie-break and direction.
int compareByStyle(const TSortedListEntry &left, const TSortedListEntry &right, TSortStyle style,
    const TCustomCompare &custom);

inline int compareNumeric(const TSortedListEntry &left, const TSortedListEntry &right)
{
    if (left.isNumber && right.isNumber) {
        if (left.number < right.number)
            return -1;
        return left.number > right.number ? 1 : 0;
    }
    return byteCompare(left.key, right.key);
}

// Row number ascending breaks every tie, whatever the direction.
inline int finishComparison(
    int result, const TSortedListEntry &left, const TSortedListEntry &right, TSortDirection direction)
{
    if (result == 0) {
        if (left.rowNumber == right.rowNumber)
            return 0;
        return left.rowNumber < right.rowNumber ? -1 : 1;
    }
    return direction == sdDescending ? -result : result;
}

// Full entry comparison: style, then row number ascending, then direction.
int compareEntries(const TSortedListEntry &left, const TSortedListEntry &right, TSortStyle style,
    TSortDirection direction, const TCustomCompare &custom);

// Quicksort with the middle entry as pivot. Indexes never leave the range, whatever
// the comparison answers.
void quickSortEntries(
    TSortedList &list, TSortStyle style, TSortDirection direction, const TCustomCompare &custom);

// The quicksort behind quickSortEntries, open for any comparison: middle pivot, an
// index running up while below the pivot and one running down while above it, swap
// when not crossed. The smaller part recurses so the depth stays logarithmic; the
// order produced is the same as recursing on the left part.
template <class T, class Compare>
void boundedQuickSort(std::vector<T> &list, int low, int high, Compare compare)
{
    while (low < high) {
        int i = low;
        int j = high;
        const T pivot = list[static_cast<size_t>((low + high) / 2)];
        do {
            while (i < high && compare(list[static_cast<size_t>(i)], pivot) < 0)
                ++i;
            while (j > low && compare(list[static_cast<size_t>(j)], pivot) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - low < high - i) {
            if (low < j)
                boundedQuickSort(list, low, j, compare);
            low = i;
        } else {
            if (i < high)
                boundedQuickSort(list, i, high, compare);
            high = j;
        }
    }
}
