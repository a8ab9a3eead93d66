#pragma once

// The answer of the .xls reader process on its standard output, written in plain C++
// (the reader loads no Qt) and read by parseXlsReply (xlsreaderprocess.h).
//
// A line "scorelane-xls 2", then one line per row: "r" and 13 cells, each after a tab:
//   (nothing)   an empty cell
//   t<text>     a text in UTF-8, with \\, \t, \n and \r escaped
//   n<number>   a number, in the shortest form that reads back as the same double
//   d<text>     FreeXL's date, time or date and time ("2024-03-09 12:30:00"), escaped
//   b0, b1      a boolean
//   e           an error value
// A line "below" when rows with content follow the table's end, then "end" and the
// row count. A failure gives "fail" and the message, escaped, instead of the end.
// The answer may come in pieces: the program reads the rows as they come.
// The reader reports values; the program turns them into the texts of its locale.

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace Workbook::XlsReply {

inline constexpr std::string_view kHeader = "scorelane-xls 2\n";

inline void appendEscaped(std::string &out, std::string_view text)
{
    // Most texts have nothing to escape: they go in whole.
    for (;;) {
        const std::size_t special = text.find_first_of("\\\t\n\r");
        out.append(text.substr(0, special));
        if (special == std::string_view::npos)
            return;
        switch (text[special]) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += "\\r";
            break;
        }
        text.remove_prefix(special + 1);
    }
}

inline void appendEmpty(std::string &out)
{
    out += '\t';
}

inline void appendText(std::string &out, std::string_view utf8)
{
    out += utf8.empty() ? "\t" : "\tt";
    appendEscaped(out, utf8);
}

inline void appendNumber(std::string &out, double value)
{
    char digits[32];
    // Marks, totals and places are whole: written as integers, the quickest way.
    const bool whole = value == double(static_cast<long long>(value)) && value > -1e15 && value < 1e15
        && !(value == 0 && std::signbit(value));
    const auto end = whole ? std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value)).ptr
                           : std::to_chars(digits, digits + sizeof digits, value).ptr;
    out += "\tn";
    out.append(digits, end);
}

inline void appendDateTime(std::string &out, std::string_view freexlText)
{
    out += "\td";
    appendEscaped(out, freexlText);
}

inline void appendBoolean(std::string &out, bool value)
{
    out += value ? "\tb1" : "\tb0";
}

inline void appendError(std::string &out)
{
    out += "\te";
}

// The failure answer; without the header when rows went out before it.
inline std::string failure(std::string_view message, bool withHeader = true)
{
    std::string out(withHeader ? kHeader : std::string_view());
    out += "fail\t";
    appendEscaped(out, message);
    out += '\n';
    return out;
}

} // namespace Workbook::XlsReply
