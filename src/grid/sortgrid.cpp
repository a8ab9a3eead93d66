#include "grid/sortgrid.h"

#include "grid/gridprint.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"
#include "platform/messagebox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QResizeEvent>
#include <QTemporaryDir>
#include <QToolTip>

#include <algorithm>

using namespace GridGeometry;

namespace {

QPixmap arrowImage(bool up)
{
    QPixmap image(8, 7);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (up) {
        path.moveTo(4, 0.5);
        path.lineTo(7.5, 6.5);
        path.lineTo(0.5, 6.5);
    } else {
        path.moveTo(0.5, 0.5);
        path.lineTo(7.5, 0.5);
        path.lineTo(4, 6.5);
    }
    path.closeSubpath();
    painter.fillPath(path, QColor(64, 64, 64));
    return image;
}

QPixmap boxImage(bool checked)
{
    QPixmap image(10, 10);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(0, 0, 9, 9);
    if (checked) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1.6));
        painter.drawPolyline(QPolygonF({ QPointF(2, 5), QPointF(4, 7.5), QPointF(8, 2.5) }));
    }
    return image;
}

QPixmap buttonImage(bool ellipsis)
{
    QPixmap image(16, 16);
    image.fill(QColor(212, 208, 200));
    QPainter painter(&image);
    painter.fillRect(0, 0, 16, 1, Qt::white);
    painter.fillRect(0, 0, 1, 16, Qt::white);
    painter.fillRect(0, 15, 16, 1, QColor(64, 64, 64));
    painter.fillRect(15, 0, 1, 16, QColor(64, 64, 64));
    painter.fillRect(1, 14, 14, 1, QColor(128, 128, 128));
    painter.fillRect(14, 1, 1, 14, QColor(128, 128, 128));
    if (ellipsis) {
        for (int x : { 4, 7, 10 })
            painter.fillRect(x, 10, 2, 2, Qt::black);
    } else {
        for (int i = 0; i < 4; ++i)
            painter.fillRect(5 + i, 6 + i, 7 - 2 * i, 1, Qt::black);
    }
    return image;
}

// Font metrics are costly to build; drawing asks for the same font over and over.
const QFontMetrics &metricsFor(const QFont &font)
{
    static QFont cachedFont;
    static QFontMetrics cached(cachedFont);
    static bool valid = false;
    if (!valid || !(font == cachedFont)) {
        cachedFont = font;
        cached = QFontMetrics(font);
        valid = true;
    }
    return cached;
}

} // namespace

TSortGrid::TSortGrid(QWidget *parent)
    : GridBase(parent)
{
    makeImages();
    m_cellList = new QListWidget(viewport());
    m_cellList->hide();
    m_cellList->setFocusPolicy(Qt::ClickFocus);
    m_cellList->installEventFilter(this);
    m_cellList->viewport()->installEventFilter(this);
    m_printerProvider = std::make_shared<PrinterProvider>();
}

TSortGrid::~TSortGrid() = default;

QFont TSortGrid::gridFont(const QString &family, int pixelHeight)
{
    static const bool substituted = [] {
        QFont::insertSubstitution(QStringLiteral("Courier"), QStringLiteral("Liberation Mono"));
        QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"));
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(family);
    font.setPixelSize(pixelHeight);
    return font;
}

void TSortGrid::makeImages()
{
    m_arrowUp = arrowImage(true);
    m_arrowDown = arrowImage(false);
    m_boxChecked = boxImage(true);
    m_boxUnchecked = boxImage(false);
    m_dropDownButton = buttonImage(false);
    m_ellipsisButton = buttonImage(true);
}

// --- Properties ------------------------------------------------------------------

void TSortGrid::setHideRows(bool on)
{
    m_hideRows = on;
    if (RowCount() > 1)
        MoveCurrent(Col(), 1);
    viewport()->update();
}

void TSortGrid::setMultiSelect(bool on)
{
    if (on == m_multiSelect)
        return;
    m_multiSelect = on;
    if (on)
        setOption(goRowSelect, true);
    viewport()->update();
}

void TSortGrid::setUserSettings(const QStringList &settings)
{
    m_userSettings = settings;
    SetModified(true);
}

void TSortGrid::setAlignmentHorz(TAlignment alignment)
{
    if (alignment == m_alignmentHorz)
        return;
    m_alignmentHorz = alignment;
    viewport()->update();
}

void TSortGrid::setAlignmentVert(TVertAlignment alignment)
{
    if (alignment == m_alignmentVert)
        return;
    m_alignmentVert = alignment;
    viewport()->update();
}

void TSortGrid::setBevelStyle(TCellBevelStyle style)
{
    if (style == m_bevelStyle)
        return;
    m_bevelStyle = style;
    viewport()->update();
}

void TSortGrid::setProportionalScrollBars(bool on)
{
    if (on == m_proportionalScrollBars)
        return;
    m_proportionalScrollBars = on;
    updateScrollRanges();
}

// --- Format and drawing ------------------------------------------------------------

TFormatOptions TSortGrid::formatCell(int col, int row, TGridDrawState state, const CellCanvas &canvas,
    bool &checkBox, bool &combobox, bool &ellipsis) const
{
    TFormatOptions format;
    format.Brush = canvas.Brush;
    format.Font = canvas.Font;
    format.FontColor = canvas.FontColor;
    format.AlignmentHorz = m_alignmentHorz;
    format.AlignmentVert = m_alignmentVert;
    format.BevelStyle = m_bevelStyle;
    const QPalette &pal = palette();
    switch (m_bevelStyle) {
    case cbRaised:
        format.LightLineColor = pal.color(QPalette::Light);
        format.DarkLineColor = pal.color(QPalette::Dark);
        break;
    case cbLowered:
        format.LightLineColor = pal.color(QPalette::Dark);
        format.DarkLineColor = pal.color(QPalette::Light);
        break;
    case cbNone:
        format.LightLineColor = pal.color(QPalette::Base);
        format.DarkLineColor = pal.color(QPalette::Base);
        break;
    }
    format.SuppressText = false;
    checkBox = false;
    combobox = false;
    ellipsis = false;
    if (OnGetCellFormat)
        OnGetCellFormat(const_cast<TSortGrid *>(this), col, row, state, format, checkBox, combobox, ellipsis);
    if (checkBox)
        format.SuppressText = true;
    return format;
}

TFormatOptions TSortGrid::CellFormat(int col, int row, bool *checkBox, bool *combobox, bool *ellipsis) const
{
    CellCanvas canvas;
    canvas.Font = font();
    canvas.Brush = palette().color(row == 0 ? QPalette::Button : QPalette::Base);
    canvas.FontColor = palette().color(row == 0 ? QPalette::ButtonText : QPalette::Text);
    TGridDrawState state;
    const GridRect sel = Selection();
    if (row > 0 && col >= sel.Left && col <= sel.Right && row >= sel.Top && row <= sel.Bottom)
        state |= gdSelected;
    if (hasFocus() && col == Col() && row == Row())
        state |= gdFocused;
    bool check = false;
    bool combo = false;
    bool dots = false;
    const TFormatOptions format = formatCell(col, row, state, canvas, check, combo, dots);
    if (checkBox)
        *checkBox = check;
    if (combobox)
        *combobox = combo;
    if (ellipsis)
        *ellipsis = dots;
    return format;
}

bool TSortGrid::cellTextClipped(int col, int row) const
{
    const QRect rect = cellRect(col, row);
    const QString text = Cells(col, row);
    if (rect.isEmpty() || text.isEmpty())
        return false;
    const TFormatOptions format = CellFormat(col, row);
    if (format.SuppressText)
        return false;
    // Measured as drawCell draws it.
    const QFontMetrics &metrics = metricsFor(format.Font);
    if (row == 0) {
        const bool arrowShown = col == SortOptions().SortCol && SortOptions().CanSort;
        return shortenHeaderText(text, headerTextRoom(rect.width(), arrowShown),
                   [&metrics](const QString &t) { return metrics.horizontalAdvance(t); })
            != text;
    }
    const int textWidth = metrics.horizontalAdvance(text);
    const int dx = textOffsetHorz(format.AlignmentHorz, rect.width(), textWidth);
    return dx < 0 || dx + textWidth > rect.width();
}

bool TSortGrid::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return GridBase::viewportEvent(event);
    // A long name or club cut off by its column shows whole under the mouse.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QPoint cell = mouseCoord(help->pos());
    if (cell.x() >= 0 && cellTextClipped(cell.x(), cell.y())) {
        QToolTip::showText(
            help->globalPos(), Cells(cell.x(), cell.y()), viewport(), cellRect(cell.x(), cell.y()));
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

void TSortGrid::drawCell(
    QPainter &painter, int col, int row, const QRect &rect, TGridDrawState state, CellCanvas &canvas)
{
    if (row > 0 && (Updating() || m_hideRows)) {
        painter.fillRect(
            QRect(rect.topLeft(), QPoint(rect.right() + width() + 1, rect.bottom() + 1)), canvas.Brush);
        return;
    }

    bool checkBox = false;
    bool combobox = false;
    bool ellipsis = false;
    TFormatOptions format = formatCell(col, row, state, canvas, checkBox, combobox, ellipsis);

    const GridRect sel = Selection();
    if (hasOption(goRangeSelect) && row >= sel.Top && row <= sel.Bottom && row > 0) {
        format.FontColor = palette().color(QPalette::HighlightedText);
        format.Brush = palette().color(QPalette::Highlight);
    } else if (m_multiSelect && row > 0 && !hasOption(goEditing) && isRowSelected(row)) {
        format.FontColor = palette().color(QPalette::HighlightedText);
        format.Brush = palette().color(QPalette::Highlight);
    }

    const QFontMetrics &metrics = metricsFor(format.Font);
    QString text = Cells(col, row);
    const bool arrowShown = row == 0 && col == SortOptions().SortCol && SortOptions().CanSort;
    if (row == 0) {
        text = shortenHeaderText(text, headerTextRoom(rect.width(), arrowShown),
            [&metrics](const QString &t) { return metrics.horizontalAdvance(t); });
    }
    const int textWidth = metrics.horizontalAdvance(text);
    const int textHeight = metrics.height();
    int dx = textOffsetHorz(format.AlignmentHorz, rect.width(), textWidth);
    const int dy = textOffsetVert(format.AlignmentVert, rect.height(), textHeight);
    if (arrowShown)
        dx += kSortArrowShift;

    painter.fillRect(rect, format.Brush);
    if (!format.SuppressText && !text.isEmpty()) {
        painter.setFont(format.Font);
        painter.setPen(format.FontColor);
        const bool fits
            = dx >= 0 && dy >= 0 && dx + textWidth <= rect.width() && dy + textHeight <= rect.height();
        if (!fits)
            painter.setClipRect(rect);
        painter.drawText(rect.left() + dx, rect.top() + dy + metrics.ascent(), text);
        if (!fits)
            painter.setClipping(false);
    }
    if (arrowShown) {
        const QRect arrow = sortArrowRect(rect, rowHeights(0));
        const QPixmap &image = SortOptions().SortDirection == sdDescending ? m_arrowDown : m_arrowUp;
        painter.drawPixmap(arrow, image, QRect(0, 0, arrow.width(), arrow.height()));
    }
    if (checkBox) {
        const QString value = Cells(col, row);
        const bool checked = value == QLatin1String("true") || value == QLatin1String("1");
        const QRect box = checkBoxRect(rect, rowHeights(row));
        painter.drawPixmap(
            box, checked ? m_boxChecked : m_boxUnchecked, QRect(0, 0, box.width(), box.height()));
    }
    if (combobox && row == Row() && (col == Col() || editorMode()))
        painter.drawPixmap(cellButtonRect(rect), m_dropDownButton);
    if (ellipsis && row == Row() && col != Col())
        painter.drawPixmap(cellButtonRect(rect), m_ellipsisButton);

    if (format.BevelStyle != cbNone && row > 0) {
        const bool vert = hasOption(goFixedVertLine);
        const bool horz = hasOption(goFixedHorzLine);
        if (vert)
            painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), format.DarkLineColor);
        if (horz)
            painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), format.DarkLineColor);
        if (vert)
            painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), format.LightLineColor);
        if (horz)
            painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), format.LightLineColor);
    }
    if (OnDrawCell)
        OnDrawCell(this, col, row, rect, state, painter);
}

void TSortGrid::AutoSizeColumn(int col, bool force)
{
    if (col < 0 || col >= ColCount() || (!force && ColWidths(col) == -1))
        return;
    QList<int> widths;
    for (int row = 0; row < RowCount(); ++row) {
        const TFormatOptions format = CellFormat(col, row);
        int width = QFontMetrics(format.Font).horizontalAdvance(Cells(col, row));
        if (row == 0 && col == SortOptions().SortCol && SortOptions().CanSort)
            width += kSortArrowRoom;
        widths.append(width);
    }
    const QFontMetrics metrics(font());
    setColWidths(col,
        autoSizeWidth(widths, metrics.horizontalAdvance(QStringLiteral("X")),
            metrics.horizontalAdvance(QStringLiteral("xx"))));
}

void TSortGrid::colWidthsChanged()
{
    GridBase::colWidthsChanged();
    if (OnColumnWidthsChanged)
        OnColumnWidthsChanged(this);
}

void TSortGrid::rowHeightsChanged()
{
    GridBase::rowHeightsChanged();
    if (OnRowHeightsChanged)
        OnRowHeightsChanged(this);
}

void TSortGrid::colWidthsChangedByUser()
{
    updateScrollRanges();
}

void TSortGrid::resizeEvent(QResizeEvent *event)
{
    GridBase::resizeEvent(event);
    const std::optional<int> stretched
        = lastColumnStretch(width(), colWidthList(), leftCol(), visibleColCount());
    if (stretched)
        setColWidths(ColCount() - 1, *stretched);
    viewport()->update();
    updateScrollRanges();
    if (OnResize)
        OnResize(this);
}

void TSortGrid::updateScrollRanges()
{
    GridBase::updateScrollRanges();
    if (!m_proportionalScrollBars)
        return;
    QScrollBar *vertical = verticalScrollBar();
    vertical->setPageStep(
        verticalPageSize(visibleRowCount(), RowCount(), vertical->maximum() - vertical->minimum()));
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setPageStep(
        horizontalPageSize(visibleColCount(), ColCount(), horizontal->maximum() - horizontal->minimum()));
}

// --- Printing ------------------------------------------------------------------------

void TSortGrid::setPrinterProvider(std::shared_ptr<PrinterProvider> provider)
{
    m_printerProvider = provider ? std::move(provider) : std::make_shared<PrinterProvider>();
}

void TSortGrid::Print()
{
    if (m_printerProvider->printerNames().isEmpty()) {
        const QString text = QStringLiteral("No Printer is installed");
        if (!askPdfFileName) {
            MessageBox::showRuntimeError(text, this);
            return;
        }
        // A laptop at the judges' table often has no printer: a PDF can go to one later.
        if (MessageBox::showRuntimeErrorOr(text, QStringLiteral("Als PDF speichern..."), this)
            != QMessageBox::Save)
            return;
        if (const std::optional<QString> fileName = askPdfFileName())
            PrintToPdf(*fileName);
        return;
    }
    std::unique_ptr<QPrinter> printer = m_printerProvider->createPrinter();
    if (printer)
        PrintTo(*printer);
}

void TSortGrid::PrintTo(QPrinter &printer)
{
    setFiltered(false);
    printGrid(*this, printer);
}

void TSortGrid::PrintToPdf(const QString &fileName)
{
    // QPrinter writes its file as it goes; printed aside first, the target is replaced
    // only by a complete printout.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw CommandError(QStringLiteral("Cannot create a temporary file"));
    const QString draft = scratch.filePath(QStringLiteral("printout.pdf"));
    std::unique_ptr<QPrinter> printer = m_printerProvider->createPdfPrinter(draft);
    PrintTo(*printer);
    QByteArray bytes;
    FileIo::readFile(draft, [&bytes](const char *data, qsizetype size) {
        bytes.append(data, size);
        return true;
    });
    FileIo::writeFileAtomically(fileName, bytes);
}
