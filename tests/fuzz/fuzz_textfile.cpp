// The text reader on hostile bytes. Small limits let short inputs reach the refusals,
// and the rows must not depend on the size of the pieces the bytes arrive in. As in the
// program, where a file arrives in pieces far smaller than the byte limit, no piece is
// larger than that limit: a line longer than the limit then always arrives in pieces.
#include "exchange/textresultfile.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr TextResultReader::Limits kLimits { 8, 64 };

// False when the reader refused the bytes.
bool read(TextResultReader &reader, const char *data, qsizetype size, qsizetype piece)
{
    try {
        for (qsizetype at = 0; at < size; at += piece) {
            if (!reader.feed(data + at, std::min(piece, size - at)))
                break;
        }
        reader.finish();
        return true;
    } catch (const CommandError &) {
        return false;
    }
}

QList<QStringList> rows(const TextResultReader &reader)
{
    QList<QStringList> result;
    for (int r = 0; r < reader.rowCount(); ++r)
        result.append(reader.row(r));
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t length)
{
    const auto *data = reinterpret_cast<const char *>(bytes);
    const auto size = qsizetype(length);
    TextResultReader whole(kLimits);
    const bool wholeRead = read(whole, data, size, kLimits.textBytes);
    // Pieces of 1 to 7 bytes split BOM, CR LF, "Nr." and UTF-8 sequences in every way.
    TextResultReader pieces(kLimits);
    const bool piecesRead = read(pieces, data, size, 1 + size % 7);
    if (wholeRead != piecesRead || (wholeRead && rows(whole) != rows(pieces))
        || (wholeRead && whole.content() != pieces.content()))
        std::abort();

    if (wholeRead) {
        SortGridCore grid;
        grid.setColCount(15);
        grid.setRowCount(3);
        whole.fillTable(grid);
        // What was read can be written again.
        textResultFileBytes(grid);
    }
    return 0;
}
