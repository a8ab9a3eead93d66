#pragma once

#include <QStringView>

// A mark is present when its whole text reads as a 32-bit signed decimal integer,
// optionally preceded by blanks and a sign.
bool parseMark(QStringView text, int &value);
