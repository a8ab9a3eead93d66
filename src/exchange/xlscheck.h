#pragma once

// The check of a .xls workbook before FreeXL sees it, in plain C++ without Qt: the
// program runs it for its precise messages, and the reader process, which starts for
// every .xls file opened and loads nothing it does not need, runs it again, unless the
// program hands it sealed bytes that passed and hold no value that only the check finds.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace Workbook::Xls {

// What the check refuses; what() is the German reason in UTF-8, without the
// "damaged workbook" prefix that the program adds.
class Damaged : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
// The bytes hold a compound file, but no workbook stream.
class NotAWorkbook : public std::runtime_error
{
public:
    NotAWorkbook()
        : std::runtime_error("no workbook")
    { }
};

// A value of the first sheet that FreeXL does not give: booleans, error values and
// formula results.
struct OverlayCell
{
    enum Kind : char
    {
        Boolean,
        Error,
        Number,
        Text, // UTF-8
    };
    std::uint32_t key; // row << 16 | column
    Kind kind;
    bool truth = false;
    double number = 0;
    std::string text;
};

struct Checked
{
    std::vector<OverlayCell> overlay; // sorted by key, each key once
    bool system1904 = false;

    // The overlay cell of a 0-based row and column, or nullptr.
    const OverlayCell *find(std::uint32_t row, std::uint32_t col) const;
};

// Throws Damaged or NotAWorkbook.
Checked check(std::string_view bytes);

// The cell name ("C7") of a 0-based column and a 1-based row, for messages.
std::string cellName(std::uint32_t col, std::uint32_t row);

} // namespace Workbook::Xls
