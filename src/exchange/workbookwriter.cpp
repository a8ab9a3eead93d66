#include "exchange/workbookwriter.h"

#include "exchange/biffwriter.h"
#include "exchange/workbookreader.h"
#include "exchange/xlsxworkbookwriter.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"
#include "platform/programinfo.h"

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>

#include <algorithm>
#include <limits>

namespace WorkbookWriter {

namespace {

const QString kAuthor = QStringLiteral("Quellmark Software");
constexpr int kMaxSheetName = 31;

// Excel measures on the screen at 96 dpi; so do we, whatever the screen here is.
const QPaintDevice &screenAt96Dpi()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        return image;
    }();
    return device;
}

} // namespace

QString sheetName(const QString &title)
{
    QString name;
    for (const QChar c : title) {
        if (!QStringView(u"[]:*?/\\").contains(c))
            name += c;
    }
    name.truncate(kMaxSheetName);
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    return name.trimmed().isEmpty() ? QStringLiteral("Tabelle1") : name;
}

int widthInCharacters(int widestPixels, int digitPixels)
{
    if (widestPixels <= 0 || digitPixels <= 0)
        return 0;
    const int digits = (widestPixels + digitPixels - 1) / digitPixels;
    return std::min(digits + 1, WorkbookLayout::kMaxColumnWidth);
}

QList<int> fittedColumnWidths(const QList<QStringList> &rows, int columnCount)
{
    QFont regular(QStringLiteral("Liberation Sans"));
    regular.setPointSize(10);
    // Whole-pixel advances, as Excel's own measuring has them.
    regular.setHintingPreference(QFont::PreferFullHinting);
    QFont bold = regular;
    bold.setBold(true);
    const QFontMetrics regularMetrics(regular, &screenAt96Dpi());
    const QFontMetrics boldMetrics(bold, &screenAt96Dpi());

    int digitPixels = 0;
    int narrowestDigit = std::numeric_limits<int>::max();
    for (char16_t digit = u'0'; digit <= u'9'; ++digit) {
        const int pixels = regularMetrics.horizontalAdvance(QChar(digit));
        digitPixels = std::max(digitPixels, pixels);
        narrowestDigit = std::min(narrowestDigit, pixels);
    }

    // With digits of one width, as most fonts have them, a number is no wider than one with
    // more digits: of the start numbers, totals and places only each column's longest are
    // measured.
    const auto allDigits = [](const QString &text) {
        return std::all_of(text.begin(), text.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; });
    };
    QList<qsizetype> longestNumber(columnCount, 0);
    if (narrowestDigit == digitPixels) {
        for (qsizetype r = 1; r < rows.size(); ++r) {
            for (int c = 0; c < columnCount && c < rows[r].size(); ++c) {
                if (allDigits(rows[r][c]))
                    longestNumber[c] = std::max(longestNumber[c], rows[r][c].size());
            }
        }
    }

    QList<int> widest(columnCount, 0);
    // Marks and places repeat down a column; each text is measured once.
    QHash<QString, int> measured;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QFontMetrics &metrics = r == 0 ? boldMetrics : regularMetrics;
        const QStringList &row = rows[r];
        for (int c = 0; c < columnCount && c < row.size(); ++c) {
            const QString &text = row[c];
            if (text.isEmpty() || (r > 0 && text.size() < longestNumber[c] && allDigits(text)))
                continue;
            int pixels;
            if (r == 0) {
                pixels = metrics.horizontalAdvance(text);
            } else {
                const auto known = measured.constFind(text);
                pixels = known != measured.cend() ? *known
                                                  : *measured.insert(text, metrics.horizontalAdvance(text));
            }
            widest[c] = std::max(widest[c], pixels);
        }
    }
    QList<int> widths;
    for (int pixels : widest)
        widths.append(widthInCharacters(pixels, digitPixels));
    return widths;
}

WorkbookLayout layoutOf(const SortGridCore &grid, const QString &programTitle, ColumnWidths widths)
{
    WorkbookLayout layout;
    layout.sheetName = sheetName(programTitle);
    layout.author = kAuthor;

    QList<int> written;
    for (int col = 0; col < grid.ColCount() - 1; ++col) {
        const int width = grid.ColWidths(col);
        if (width >= 0)
            ++layout.columnCount;
        if (width > 0)
            written.append(col);
    }
    // Start number, marks, net total and place; name and club stay texts.
    for (int col : written)
        layout.numberColumns.append(col != 1 && col != 2);
    while (layout.numberColumns.size() < layout.columnCount)
        layout.numberColumns.append(false);

    layout.rows.reserve(grid.RowCount());
    for (int row = 0; row < grid.RowCount(); ++row) {
        QStringList texts;
        texts.reserve(layout.columnCount);
        for (int col : written) {
            QString text = grid.Cells(col, row);
            // A workbook cell would cut it; the operator learns it rather than losing text.
            if (text.size() > WorkbookLayout::kMaxCellLength)
                throw CommandError(
                    QStringLiteral("Zelle %1 ist zu lang für eine Arbeitsmappe: mehr als %2 Zeichen")
                        .arg(Workbook::cellName(int(texts.size()), row + 1))
                        .arg(WorkbookLayout::kMaxCellLength));
            texts.append(std::move(text));
        }
        while (texts.size() < layout.columnCount)
            texts.append(QString());
        layout.rows.append(std::move(texts));
    }
    if (widths == ColumnWidths::Fitted)
        layout.columnWidths = fittedColumnWidths(layout.rows, layout.columnCount);
    return layout;
}

int storedWidth256(int characters)
{
    constexpr int kDigitPixels = 7;
    constexpr int kMarginPixels = 5;
    if (characters <= 0)
        return 0;
    return (characters * kDigitPixels + kMarginPixels) * 256 / kDigitPixels;
}

} // namespace WorkbookWriter

bool WorkbookLayout::isNumber(int row, int col, double *value) const
{
    if (row < 1 || row >= rows.size() || col < 0 || col >= numberColumns.size() || !numberColumns[col])
        return false;
    const QString &text = rows[row].value(col);
    if (text.isEmpty() || text.size() > 15 || (text.size() > 1 && text.front() == u'0'))
        return false;
    qint64 number = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + (c.unicode() - u'0');
    }
    if (value)
        *value = double(number);
    return true;
}

void SaveWorkbook(const SortGridCore &grid, const QString &fileName, WorkbookFormat format)
{
    QByteArray bytes;
    if (format == WorkbookFormat::Xls) {
        bytes = biffWorkbookBytes(WorkbookWriter::layoutOf(grid, ProgramInfo::title()));
    } else {
        // The columns are measured while libxlsxwriter takes the cells.
        const WorkbookLayout layout
            = WorkbookWriter::layoutOf(grid, ProgramInfo::title(), WorkbookWriter::ColumnWidths::Left);
        bytes = xlsxWorkbookBytes(layout,
            [&layout] { return WorkbookWriter::fittedColumnWidths(layout.rows, layout.columnCount); });
    }
    try {
        FileIo::writeFileAtomically(fileName, bytes);
    } catch (const CommandError &error) {
        throw CommandError(QDir::toNativeSeparators(fileName) + QStringLiteral(": ") + error.text());
    }
}
