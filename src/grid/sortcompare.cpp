#include "grid/sortcompare.h"

#include <QCalendar>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <cmath>

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
    // "nan" and "inf" read as numbers but order like none; they stay texts.
    return ok && std::isfinite(value);
}

namespace {

const QDate kDayZero(1899, 12, 30);

double msecsValue(const QDateTime &dateTime)
{
    return double(dateTime.toMSecsSinceEpoch());
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Optional leading blanks and sign, then decimal digits, within 32 bits.
bool textToInt(QStringView text, qint64 &value)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return false;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > 2147483648LL)
            return false;
    }
    value = negative ? -magnitude : magnitude;
    return value >= -2147483648LL && value <= 2147483647LL;
}

} // namespace

namespace {

// The locale's short formats, also with one-digit days, months and hours and with
// four-digit years, which people type even where the short format says otherwise.
struct DateTimeFormats
{
    QString localeName;
    QStringList dates;
    QStringList times;
};

QString lenient(QString format, bool fourDigitYear)
{
    format.replace(QStringLiteral("dd"), QStringLiteral("d"));
    format.replace(QStringLiteral("MM"), QStringLiteral("M"));
    format.replace(QStringLiteral("HH"), QStringLiteral("H"));
    format.replace(QStringLiteral("hh"), QStringLiteral("h"));
    if (fourDigitYear && !format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

bool hasTwoDigitYear(const QString &format)
{
    return format.contains(QStringLiteral("yy")) && !format.contains(QStringLiteral("yyyy"));
}

// Two-digit years mean 1930 to 2029, as on most desktops.
constexpr int kTwoDigitYearStart = 1930;

// Qt 6.4 reads "yy" as 1900 to 1999 and knows no base year. The Julian calendar does the
// reading, because it has every 29 February of that century, 1900's included, which the
// shifted year may need.
QDate parseTwoDigitYear(const QString &text, const QString &format, const QLocale &locale)
{
    static const QCalendar julian(QCalendar::System::Julian);
    const QDate read = locale.toDate(text, format, julian);
    if (!read.isValid())
        return {};
    const QCalendar::YearMonthDay parts = julian.partsFromDate(read);
    return QDate(parts.year < kTwoDigitYearStart ? parts.year + 100 : parts.year, parts.month, parts.day);
}

const DateTimeFormats &formatsOf(const QLocale &locale)
{
    static DateTimeFormats formats;
    if (formats.localeName != locale.name() || formats.dates.isEmpty()) {
        formats.localeName = locale.name();
        const QString date = locale.dateFormat(QLocale::ShortFormat);
        const QString time = locale.timeFormat(QLocale::ShortFormat);
        formats.dates = QStringList { date, lenient(date, false), lenient(date, true) };
        formats.times = QStringList { time, lenient(time, false) };
        if (!time.contains(u's'))
            formats.times.append(lenient(time, false).replace(QStringLiteral("mm"), QStringLiteral("mm:ss")));
        formats.dates.removeDuplicates();
        formats.times.removeDuplicates();
    }
    return formats;
}

QTime parseTime(const QString &text, const QLocale &locale)
{
    for (const QString &format : formatsOf(locale).times) {
        const QTime time = locale.toTime(text, format);
        if (time.isValid())
            return time;
    }
    return QTime::fromString(text, Qt::ISODate);
}

QDate parseDate(const QString &text, const QLocale &locale)
{
    for (const QString &format : formatsOf(locale).dates) {
        const QDate date
            = hasTwoDigitYear(format) ? parseTwoDigitYear(text, format, locale) : locale.toDate(text, format);
        if (date.isValid())
            return date;
    }
    return QDate::fromString(text, Qt::ISODate);
}

} // namespace

bool textToTime(QStringView text, double &value)
{
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return false;
    const QTime time = parseTime(trimmed, QLocale());
    if (!time.isValid())
        return false;
    value = double(time.msecsSinceStartOfDay());
    return true;
}

bool textToDateTime(QStringView text, double &value)
{
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return false;
    const QLocale locale;
    QDateTime dateTime;
    const qsizetype blank = trimmed.indexOf(u' ');
    if (blank > 0) {
        const QDate date = parseDate(trimmed.left(blank), locale);
        const QTime time = parseTime(trimmed.mid(blank + 1).trimmed(), locale);
        if (date.isValid() && time.isValid())
            dateTime = QDateTime(date, time);
    } else if (const QDate date = parseDate(trimmed, locale); date.isValid()) {
        dateTime = QDateTime(date, QTime(0, 0));
    } else if (const QTime time = parseTime(trimmed, locale); time.isValid()) {
        dateTime = QDateTime(kDayZero, time);
    }
    if (!dateTime.isValid())
        dateTime = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!dateTime.isValid())
        return false;
    value = msecsValue(dateTime);
    return true;
}

int compareNumericExtended(QStringView a, QStringView b)
{
    if (a.isEmpty() || b.isEmpty())
        return -1;

    // Drop the equal non-digit characters of the common length; the last common
    // position takes the rest of both texts along.
    QString reducedA, reducedB;
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype p = 0; p < n; ++p) {
        if (a[p] == b[p] && !isDigit(a[p]))
            continue;
        if (p == n - 1) {
            reducedA += a.sliced(p);
            reducedB += b.sliced(p);
        } else {
            reducedA += a[p];
            reducedB += b[p];
        }
    }

    // Equal non-digit endings go as well, one character for every match from the end.
    const QString copyA = reducedA;
    const QString copyB = reducedB;
    const qsizetype m = std::min(copyA.size(), copyB.size());
    for (qsizetype i = 0; i < m; ++i) {
        const QChar endA = copyA[copyA.size() - 1 - i];
        const QChar endB = copyB[copyB.size() - 1 - i];
        if (endA == endB && !isDigit(endA)) {
            reducedA.chop(1);
            reducedB.chop(1);
        }
    }

    if (reducedA == reducedB)
        return 0;
    qint64 numberA = 0;
    qint64 numberB = 0;
    if (textToInt(reducedA, numberA) && textToInt(reducedB, numberB))
        return numberA < numberB ? -1 : 1;
    return byteCompare(reducedA, reducedB);
}

void prepareSortEntry(TSortedListEntry &entry, TSortStyle style)
{
    switch (style) {
    case ssNumeric:
        entry.isNumber = textToFloat(entry.key, entry.number);
        break;
    case ssDateTime:
        entry.isNumber = textToDateTime(entry.key, entry.number);
        break;
    case ssTime:
        entry.isNumber = textToTime(entry.key, entry.number);
        break;
    default:
        entry.isNumber = false;
        break;
    }
}

int compareByStyle(const TSortedListEntry &left, const TSortedListEntry &right, TSortStyle style,
    const TCustomCompare &custom)
{
    switch (style) {
    case ssNumeric:
    case ssDateTime:
    case ssTime:
        return compareNumeric(left, right);
    case ssNumericExtended:
        return compareNumericExtended(left.key, right.key);
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
