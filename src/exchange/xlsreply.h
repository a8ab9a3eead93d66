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
//
// The program starts the reader with a socket as its standard input and, once it has
// checked the workbook, sends one byte on it: kInputChecked when the bytes passed its
// check and hold no value that only the check finds, else kInputUnchecked. With the byte
// comes the workbook as a sealed file in memory (SCM_RIGHTS); without one, the workbook's
// bytes follow the byte. Any other standard input is the workbook itself.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace Workbook::XlsReply {

inline constexpr std::string_view kHeader = "scorelane-xls 2\n";
inline constexpr char kInputChecked = 'c';
inline constexpr char kInputUnchecked = 'u';

// Which bytes a text field escapes.
inline constexpr auto kEscaped = [] {
    std::array<bool, 256> escaped {};
    for (const unsigned char c : { '\\', '\t', '\n', '\r' })
        escaped[c] = true;
    return escaped;
}();

// The answer as it is made: a buffer that grows, the fields written straight into it
// (a reader formats some ten thousand cells for a protocol of a thousand couples).
class Writer
{
public:
    explicit Writer(std::size_t capacity = std::size_t(64) << 10)
        : m_data(new char[capacity])
        , m_capacity(capacity)
    { }

    const char *data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    std::string_view view() const { return { m_data.get(), m_size }; }
    // Takes back what came after size.
    void truncate(std::size_t size) { m_size = std::min(size, m_size); }

    void raw(std::string_view bytes)
    {
        std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
        m_size += bytes.size();
    }
    void empty() { raw("\t"); }
    void text(std::string_view utf8)
    {
        if (utf8.empty())
            return empty();
        escaped("\tt", utf8);
    }
    void number(double value)
    {
        // Marks, totals and places are whole and not negative.
        if (value >= 0 && value < 1e15 && !(value == 0 && std::signbit(value))
            && value == double(static_cast<unsigned long long>(value)))
            return whole(static_cast<unsigned long long>(value));
        char *const start = room(40);
        char *at = start;
        *at++ = '\t';
        *at++ = 'n';
        if (value > -1e15 && value < 1e15 && value == double(static_cast<long long>(value))
            && !(value == 0 && std::signbit(value)))
            at = std::to_chars(at, start + 40, static_cast<long long>(value)).ptr;
        else // the shortest form that reads back as the same double
            at = std::to_chars(at, start + 40, value).ptr;
        m_size += std::size_t(at - start);
    }
    // A whole number below 10^15, as number() writes it: its digits, the quickest way.
    void whole(unsigned long long value)
    {
        std::size_t count = 1;
        for (unsigned long long rest = value; rest >= 10; rest /= 10)
            ++count;
        char *const start = room(2 + count);
        start[0] = '\t';
        start[1] = 'n';
        char *at = start + 2 + count;
        do {
            *--at = char('0' + value % 10);
            value /= 10;
        } while (value != 0);
        m_size += 2 + count;
    }
    void dateTime(std::string_view freexlText) { escaped("\td", freexlText); }
    void boolean(bool value) { raw(value ? "\tb1" : "\tb0"); }
    void error() { raw("\te"); }

    // The prefix, then text with \\, \t, \n and \r escaped.
    void escaped(std::string_view prefix, std::string_view text)
    {
        char *const start = room(prefix.size() + 2 * text.size());
        std::memcpy(start, prefix.data(), prefix.size());
        char *at = start + prefix.size();
        for (const char c : text) {
            if (kEscaped[static_cast<unsigned char>(c)]) {
                *at++ = '\\';
                *at++ = c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
            } else {
                *at++ = c;
            }
        }
        m_size += std::size_t(at - start);
    }

private:
    // Room for count more bytes; where they go.
    char *room(std::size_t count)
    {
        if (m_capacity - m_size < count) {
            const std::size_t capacity = std::max(2 * m_capacity, m_size + count);
            std::unique_ptr<char[]> data(new char[capacity]);
            std::memcpy(data.get(), m_data.get(), m_size);
            m_data = std::move(data);
            m_capacity = capacity;
        }
        return m_data.get() + m_size;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity;
    std::size_t m_size = 0;
};

// The failure answer; without the header when rows went out before it.
inline std::string failure(std::string_view message, bool withHeader = true)
{
    Writer out(256);
    if (withHeader)
        out.raw(kHeader);
    out.escaped("fail\t", message);
    out.raw("\n");
    return std::string(out.view());
}

} // namespace Workbook::XlsReply
