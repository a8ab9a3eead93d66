#pragma once

#include <QString>
#include <QStringView>

// A mark is present when its whole text reads as a 32-bit signed decimal integer,
// optionally preceded by blanks and a sign.
bool parseMark(QStringView text, int &value);

// Decimal text of a total or place; small values come from shared storage, so that
// placing a large table does not allocate a string per cell.
QString numberText(qint64 value);
