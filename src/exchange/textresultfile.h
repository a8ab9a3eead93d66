#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class SortGridCore;

// Turns the bytes of a text result file into table rows. The bytes may arrive in
// pieces of any size. Only what can land in the table is kept, so memory follows
// the table, not the file: a line of any length costs the first 13 fields of it.
//
// A line ends at LF (a CR anywhere is dropped), 0x1A ends the file, a line whose
// first field holds "Nr." is skipped, the separator is TAB when the line has one and ";" otherwise,
// a run of separators is one, and the first 13 fields are taken. The file is
// UTF-8 when it starts with a byte-order mark or is valid UTF-8 with at least one
// multi-byte sequence, else Windows-1252.
class TextResultReader
{
public:
    static constexpr int kMaxFields = 13;

    // More than this is refused as "Out of memory" rather than taking the machine.
    struct Limits
    {
        int rows = 1'000'000;
        qsizetype textBytes = qsizetype(128) << 20;
    };

    TextResultReader() = default;
    explicit TextResultReader(Limits limits)
        : m_limits(limits)
    { }

    // What the bytes are: a text file, or something that must not become table rows
    // (a workbook's bytes, NUL bytes before the end of the text).
    enum class Content
    {
        Text,
        Workbook,
        Binary
    };

    // Returns false once a 0x1A byte has ended the file; later bytes are ignored.
    bool feed(const char *data, qsizetype size);
    Content content() const { return m_content; }
    // Room for a file of this size, so that a large one is not copied while it grows.
    void reserve(qint64 fileSize);
    // The end of the bytes: completes a last line without LF and settles the encoding.
    void finish();

    int rowCount() const { return int(m_rowStarts.size()); }
    bool isUtf8() const { return m_bom || (m_utf8Valid && m_utf8MultiByte); }
    // The fields of one row as stored in the table (an empty first field is " ").
    QStringList row(int index) const;
    // Replaces the data rows of the table by the rows read; row 0 stays. rowFilled, when
    // given, is called with each row as soon as all its cells are written.
    void fillTable(SortGridCore &grid, const std::function<void(int row)> &rowFilled = {}) const;

private:
    struct Field
    {
        quint32 offset;
        quint32 size;
    };
    // A line that began in an earlier piece.
    struct PendingLine
    {
        QByteArray stored; // without CRs; ends after 13 TAB fields, or after 13 ";" fields when too long
        bool active = false;
        bool storing = true;
        bool hasTab = false;
        bool semicolonFieldsOnly = false; // too long for a TAB line; a TAB now is refused
        int tabRuns = 0;
        int semicolonRuns = 0;
        qsizetype semicolonCut = -1; // end of the 13th ";" field in stored
        char last = 0;
    };

    void settleHead();
    void take(const char *data, qsizetype size);
    void checkUtf8(const unsigned char *data, qsizetype size);
    void addDirectLine(const char *line, qsizetype size);
    void continuePending(const char *data, qsizetype size);
    void completePending();
    void addLine(const char *line, qsizetype size, bool hasTab);
    // The text of a field: a shared one for short ASCII fields, else made anew into made.
    const QString &decode(const Field &field, QString &made) const;

    Limits m_limits;
    QByteArray m_pool; // the lines up to their last field taken
    std::vector<Field> m_fields;
    std::vector<quint32> m_rowStarts; // first field of each row
    QByteArray m_head;
    QByteArray m_start; // the first four bytes, to tell a workbook
    Content m_content = Content::Text;
    bool m_headSettled = false;
    bool m_bom = false;
    bool m_ended = false;
    bool m_utf8Valid = true;
    bool m_utf8MultiByte = false;
    int m_utf8Needed = 0;
    unsigned char m_utf8Low = 0x80;
    unsigned char m_utf8High = 0xBF;
    PendingLine m_pending;
    QByteArray m_scratch;
};

// Reads the whole file first and replaces the data rows of the table only when
// that worked; on failure the table is untouched and a CommandError says why. A file
// whose bytes are no text is refused the same way.
void LoadTextFile(
    SortGridCore &grid, const QString &fileName, const std::function<void(int row)> &rowFilled = {});

// The bytes of the text result file for the table: every row with a start number,
// columns 0 to ColCount-2, each field followed by TAB (" " for an empty cell), CR LF
// after each line. Windows-1252 when every written cell fits, else UTF-8 with a
// byte-order mark.
QByteArray textResultFileBytes(const SortGridCore &grid);

// Writes the table to fileName, replacing the file only once every byte is on the
// disk: a failure leaves any earlier file as it was and throws a CommandError.
void SaveTextFile(const SortGridCore &grid, const QString &fileName);
