#include "scoring/marks.h"

#include "grid/statictexts.h"

#include <limits>

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

QString numberText(qint64 value)
{
    return StaticTexts::number(value);
}
