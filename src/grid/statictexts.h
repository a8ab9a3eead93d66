#pragma once

#include <QString>

// Totals and places that the placing writes into thousands of cells, kept in storage
// that lives as long as the program. Copies of them share that storage without any
// reference counting, so placing a large table neither allocates nor pays an atomic
// operation per cell for them.
namespace StaticTexts {

// The text of a number; 0 .. 9999 come from the shared storage.
QString number(qint64 value);

} // namespace StaticTexts
