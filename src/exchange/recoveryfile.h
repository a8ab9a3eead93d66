#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

class SortGridCore;

// Everything of a session that the operator would not want to type again: every
// cell of every row (header, rows without a start number, hidden mark columns, the
// raw total, rows a filter hides), the judge count, the tab caption and the name
// of the file opened last.
struct RecoverySnapshot
{
    int columnCount = 0;
    int rowCount = 0; // visible rows, the header row included
    int hiddenRowCount = 0; // rows a filter keeps below the visible ones
    QList<QString> cells; // row by row, (rowCount + hiddenRowCount) * columnCount
    int judgeCount = 0;
    QString tabCaption;
    QString fileName;

    const QString &cell(int col, int row) const { return cells[qsizetype(row) * columnCount + col]; }
    bool operator==(const RecoverySnapshot &) const = default;
};

// Copies the texts only; implicit sharing makes that cheap enough for every change.
RecoverySnapshot takeRecoverySnapshot(
    const SortGridCore &grid, int judgeCount, const QString &tabCaption, const QString &fileName);

// Gives the grid the snapshot's columns, rows and texts; the cells' objects are cleared.
void restoreRecoverySnapshot(const RecoverySnapshot &snapshot, SortGridCore &grid);

// The file: "SCORELANE-RECOVERY <version> <body bytes, 9 digits> <CRC-32 of the body>" on the
// first line, then the UTF-8 body. Cells are escaped so that every line of the body
// is one table row and every TAB ends a cell.
namespace RecoveryFile {

constexpr int kVersion = 1;
// The text reader's limits: a recovery file may not claim more than it would read.
constexpr int kMaxRows = 1'000'000;
constexpr qsizetype kMaxBytes = qsizetype(128) << 20;
constexpr int kMaxColumns = 64;
constexpr qsizetype kMaxCells = qsizetype(kMaxRows) * 13;

QByteArray encode(const RecoverySnapshot &snapshot);

// The same bytes straight from the table, cheaper than a snapshot first (copying every
// text costs more than encoding it), but without the checksum: seal() adds it, so that
// the owner's thread pays only for reading the table.
QByteArray encodeUnsealed(
    const SortGridCore &grid, int judgeCount, const QString &tabCaption, const QString &fileName);
void seal(QByteArray &file);

struct Decoded
{
    std::optional<RecoverySnapshot> snapshot;
    QString error; // why not, when there is no snapshot
};

// The bytes are not trusted: any fault gives an error, never a partial snapshot.
Decoded decode(QByteArrayView bytes);
// Reads at most kMaxBytes (and one more to notice a larger file) and decodes them.
Decoded read(const QString &fileName);

} // namespace RecoveryFile
