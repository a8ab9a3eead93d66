#include "grid/gridbase.h"

#include "platform/busycursor.h"
#include "platform/messagebox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <limits>

using namespace GridGeometry;

QSize GridScrollBar::sizeHint() const
{
    const QSize hint = QScrollBar::sizeHint();
    return orientation() == Qt::Vertical ? QSize(kThickness, hint.height()) : QSize(hint.width(), kThickness);
}

GridBase::GridBase(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setVerticalScrollBar(new GridScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new GridScrollBar(Qt::Horizontal, this));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setFocusProxy(this);
    viewport()->setMouseTracking(true);

    m_editor = new CellEditor(this);
    connect(m_editor, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_editorMode && m_editor->isModified())
            SetEditText(m_editorCell.x(), m_editorCell.y(), text);
    });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
        [this](int action) { onScrollAction(verticalScrollBar(), action); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
        [this](int action) { onScrollAction(horizontalScrollBar(), action); });
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this,
        [this](QWidget *old, QWidget *now) { onFocusChanged(old, now); });
    updateScrollRanges();
}

GridBase::~GridBase()
{
    // The widget destructor still moves the focus, when this object is no grid any more.
    disconnect(m_focusConnection);
}

GridOptions GridBase::Options() const
{
    GridOptions options = m_options;
    options.setFlag(goRowSelect, RowSelect());
    return options;
}

void GridBase::setOptions(GridOptions options)
{
    if (options == Options())
        return;
    m_options = options;
    setRowSelect(options.testFlag(goRowSelect));
    if (!canEditShow())
        hideEditor();
    else if (options.testFlag(goAlwaysShowEditor))
        showEditor();
    viewport()->update();
}

void GridBase::setOption(GridOption option, bool on)
{
    GridOptions options = Options();
    options.setFlag(option, on);
    setOptions(options);
}

void GridBase::setScrollBars(ScrollStyle style)
{
    if (style == m_scrollBars)
        return;
    m_scrollBars = style;
    updateScrollRanges();
}

void GridBase::setTopRow(int row)
{
    const int maxTop = std::max(1, RowCount() - visibleRowCapacity(viewport()->height(), DefaultRowHeight()));
    row = std::clamp(row, 1, maxTop);
    if (row == m_topRow)
        return;
    m_topRow = row;
    m_syncingScrollBars = true;
    verticalScrollBar()->setValue(row);
    m_syncingScrollBars = false;
    placeEditor();
    viewport()->update();
}

void GridBase::setLeftCol(int col)
{
    col = std::clamp(col, 0, maxLeftCol(colWidthList(), viewport()->width()));
    if (col == m_leftCol)
        return;
    m_leftCol = col;
    m_syncingScrollBars = true;
    horizontalScrollBar()->setValue(col);
    m_syncingScrollBars = false;
    placeEditor();
    viewport()->update();
}

int GridBase::visibleRowCount() const
{
    const int capacity = visibleRowCapacity(viewport()->height(), DefaultRowHeight());
    return std::max(0, std::min(capacity, RowCount() - m_topRow));
}

int GridBase::visibleColCount() const
{
    return GridGeometry::visibleColCount(colWidthList(), m_leftCol, viewport()->width());
}

int GridBase::rowHeights(int row) const
{
    Q_UNUSED(row);
    return DefaultRowHeight();
}

QList<int> GridBase::colWidthList() const
{
    QList<int> widths;
    widths.reserve(ColCount());
    for (int c = 0; c < ColCount(); ++c)
        widths.append(ColWidths(c));
    return widths;
}

QList<int> GridBase::columnRightEdges(QList<int> *columns) const
{
    QList<int> edges;
    for (const ShownColumn &shown : shownColumns(colWidthList(), m_leftCol, viewport()->width())) {
        edges.append(shown.left + shown.width);
        if (columns)
            columns->append(shown.col);
    }
    return edges;
}

QRect GridBase::cellRect(int col, int row) const
{
    const int height = DefaultRowHeight();
    if (col < m_leftCol || col >= ColCount() || row < 0 || row >= RowCount() || ColWidths(col) < 0)
        return QRect();
    int y = 0;
    if (row > 0) {
        if (row < m_topRow)
            return QRect();
        y = (height + kLineWidth) * (1 + row - m_topRow);
    }
    if (y >= viewport()->height())
        return QRect();
    for (const ShownColumn &shown : shownColumns(colWidthList(), m_leftCol, viewport()->width())) {
        if (shown.col == col)
            return QRect(shown.left, y, shown.width, height);
    }
    return QRect();
}

int GridBase::columnAt(int x) const
{
    // Also beyond the right edge, where a drag of the mouse may go; a column owns the
    // grid line after it.
    for (const ShownColumn &shown :
        shownColumns(colWidthList(), m_leftCol, std::numeric_limits<int>::max())) {
        if (x >= shown.left && x <= shown.left + shown.width)
            return shown.col;
    }
    return -1;
}

QPoint GridBase::mouseCoord(const QPoint &pos) const
{
    const int extent = DefaultRowHeight() + kLineWidth;
    const int col = columnAt(pos.x());
    if (col < 0 || pos.y() < 0)
        return QPoint(-1, -1);
    int row = 0;
    if (pos.y() >= extent)
        row = m_topRow + (pos.y() - extent) / extent;
    if (row >= RowCount())
        return QPoint(-1, -1);
    return QPoint(col, row);
}

QSize GridBase::sizeHint() const
{
    return QSize(400, 300);
}

// --- Editor ----------------------------------------------------------------------

bool GridBase::canEditShow() const
{
    return hasOption(goEditing) && !RowSelect() && RowCount() > 1 && Row() >= 1;
}

void GridBase::setEditorMode(bool on)
{
    if (on)
        showEditor();
    else
        hideEditor();
}

void GridBase::showEditor()
{
    if (!canEditShow())
        return;
    const bool wasShown = m_editorMode && m_editorCell == QPoint(Col(), Row());
    m_editorMode = true;
    if (!wasShown) {
        // A fresh cell: its text, all selected, so that typing replaces it.
        m_editorCell = QPoint(Col(), Row());
        m_editor->setFont(font());
        m_editor->setText(Cells(Col(), Row()));
        m_editor->setModified(false);
        m_editor->selectAll();
    }
    placeEditor();
    if (!m_editor->isHidden())
        m_editor->setFocus();
    if (!wasShown)
        editorShown();
    invalidateCell(Col(), Row());
}

void GridBase::hideEditor()
{
    if (!m_editorMode)
        return;
    m_editorMode = false;
    m_editorCell = QPoint(-1, -1);
    if (m_editor->hasFocus())
        setFocus();
    m_editor->hide();
    invalidateCell(Col(), Row());
}

void GridBase::placeEditor()
{
    if (!m_editorMode) {
        m_editor->hide();
        return;
    }
    const QRect rect = cellRect(Col(), Row());
    if (rect.isEmpty()) {
        if (m_editor->hasFocus())
            setFocus();
        m_editor->hide();
        return;
    }
    m_editor->setGeometry(rect);
    m_editor->show();
}

// --- Update bracket and core hooks -------------------------------------------------

void GridBase::screenBeginUpdate()
{
    m_busyCursor = std::make_unique<BusyCursor>();
    setUpdatesEnabled(false);
    m_inputBlocked = true;
}

void GridBase::screenEndUpdate()
{
    m_inputBlocked = false;
    setUpdatesEnabled(true);
    viewport()->update();
    m_busyCursor.reset();
    if (window() != this && isVisible() && !m_focusWithin)
        setFocus();
}

void GridBase::showMessage(const QString &text)
{
    MessageBox::showMessage(text, this);
}

void GridBase::layoutChanged()
{
    updateScrollRanges();
    placeEditor();
    viewport()->update();
}

void GridBase::updateScrollBars()
{
    updateScrollRanges();
}

void GridBase::updateScrollRanges()
{
    m_syncingScrollBars = true;
    const Qt::ScrollBarPolicy vertical = (m_scrollBars == ssVertical || m_scrollBars == ssBoth)
        ? Qt::ScrollBarAsNeeded
        : Qt::ScrollBarAlwaysOff;
    const Qt::ScrollBarPolicy horizontal = (m_scrollBars == ssHorizontal || m_scrollBars == ssBoth)
        ? Qt::ScrollBarAsNeeded
        : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != vertical)
        setVerticalScrollBarPolicy(vertical);
    if (horizontalScrollBarPolicy() != horizontal)
        setHorizontalScrollBarPolicy(horizontal);

    const int maxTop = std::max(1, RowCount() - visibleRowCapacity(viewport()->height(), DefaultRowHeight()));
    m_topRow = std::clamp(m_topRow, 1, maxTop);
    verticalScrollBar()->setRange(1, maxTop);
    verticalScrollBar()->setPageStep(1);
    verticalScrollBar()->setValue(m_topRow);

    const int maxLeft = maxLeftCol(colWidthList(), viewport()->width());
    m_leftCol = std::clamp(m_leftCol, 0, maxLeft);
    horizontalScrollBar()->setRange(0, maxLeft);
    horizontalScrollBar()->setPageStep(1);
    horizontalScrollBar()->setValue(m_leftCol);
    m_syncingScrollBars = false;
}

void GridBase::onScrollAction(QScrollBar *bar, int action)
{
    // A click into the trough moves by what is shown, whatever size the thumb has.
    const bool vertical = bar->orientation() == Qt::Vertical;
    const int page = std::max(1, vertical ? visibleRowCount() : visibleColCount());
    if (action == QAbstractSlider::SliderPageStepAdd)
        bar->setSliderPosition(bar->value() + page);
    else if (action == QAbstractSlider::SliderPageStepSub)
        bar->setSliderPosition(bar->value() - page);
}

void GridBase::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    if (m_syncingScrollBars)
        return;
    m_topRow = verticalScrollBar()->value();
    m_leftCol = horizontalScrollBar()->value();
    placeEditor();
    viewport()->update();
}

void GridBase::scrollIntoView(int col, int row)
{
    clampInView(col, row);
}

void GridBase::clampInView(int col, int row)
{
    const int capacity = std::max(1, visibleRowCapacity(viewport()->height(), DefaultRowHeight()));
    if (row >= 1) {
        if (row < m_topRow)
            setTopRow(row);
        else if (row >= m_topRow + capacity)
            setTopRow(row - capacity + 1);
    }
    if (col < m_leftCol) {
        setLeftCol(col);
    } else {
        const QList<int> widths = colWidthList();
        int left = m_leftCol;
        while (left < col
            && col >= left + std::max(1, GridGeometry::visibleColCount(widths, left, viewport()->width())))
            ++left;
        setLeftCol(left);
    }
}

void GridBase::invalidateRow(int row)
{
    if (row < 0 || row >= RowCount() || (row > 0 && row < m_topRow))
        return;
    const int extent = DefaultRowHeight() + kLineWidth;
    const int y = row == 0 ? 0 : extent * (1 + row - m_topRow);
    if (y < viewport()->height())
        viewport()->update(0, y, viewport()->width(), extent);
}

void GridBase::invalidateCell(int col, int row)
{
    Q_UNUSED(col);
    invalidateRow(row);
}

void GridBase::invalidateGrid()
{
    viewport()->update();
}

void GridBase::currentCellMoved(int oldCol, int oldRow)
{
    Q_UNUSED(oldCol);
    Q_UNUSED(oldRow);
    // Whoever moved it (a sort, a search, the program), the current cell stays in view.
    clampInView(Col(), Row());
    if (hasOption(goAlwaysShowEditor) && canEditShow())
        showEditor();
    else
        hideEditor();
    click();
}

bool GridBase::focusCell(int col, int row, bool moveAnchor)
{
    if (!MoveCurrent(col, row))
        return false;
    if (moveAnchor)
        m_anchor = QPoint(col, row);
    clampInView(col, row);
    return true;
}

void GridBase::extendSelection(int col, int row)
{
    if (!MoveCurrent(col, row))
        return;
    clampInView(col, row);
    if (RowSelect())
        setSelection(GridRect { 0, m_anchor.y(), ColCount() - 1, row });
    else
        setSelection(GridRect { m_anchor.x(), m_anchor.y(), col, row });
}

// --- Default event hooks ---------------------------------------------------------

void GridBase::doKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(key);
    Q_UNUSED(shift);
}

void GridBase::doKeyPress(QChar &key)
{
    Q_UNUSED(key);
}

void GridBase::doKeyUp(int &key, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(key);
    Q_UNUSED(shift);
}

void GridBase::dblClick() { }
void GridBase::click() { }
void GridBase::doEnter() { }
void GridBase::doExit() { }

void GridBase::columnMoved(int fromCol, int toCol)
{
    Q_UNUSED(fromCol);
    Q_UNUSED(toCol);
}

void GridBase::moveColumnByDrag(int fromCol, int toCol)
{
    MoveColumn(fromCol, toCol);
    columnMoved(fromCol, toCol);
}

// --- Painting ----------------------------------------------------------------------

void GridBase::drawCell(
    QPainter &painter, int col, int row, const QRect &rect, TGridDrawState state, CellCanvas &canvas)
{
    Q_UNUSED(state);
    painter.fillRect(rect, canvas.Brush);
    painter.setFont(canvas.Font);
    painter.setPen(canvas.FontColor);
    painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Cells(col, row));
}

void GridBase::drawGridLines(QPainter &painter, int col, int row, const QRect &rect) const
{
    Q_UNUSED(col);
    const bool fixed = row == 0;
    const bool vert = hasOption(fixed ? goFixedVertLine : goVertLine);
    const bool horz = hasOption(fixed ? goFixedHorzLine : goHorzLine);
    const QColor lineColor = fixed ? QColor(Qt::black) : QColor(192, 192, 192);
    const QColor gap = palette().color(QPalette::Base);
    // The one-pixel gap after each cell is either a line or the cell's neighbourhood.
    painter.fillRect(
        QRect(rect.right() + 1, rect.top(), kLineWidth, rect.height() + kLineWidth), vert ? lineColor : gap);
    painter.fillRect(QRect(rect.left(), rect.bottom() + 1, rect.width(), kLineWidth), horz ? lineColor : gap);
    if (fixed && vert && horz && rect.width() > 2 && rect.height() > 2) {
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), Qt::white);
        painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), Qt::white);
        painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), QColor(128, 128, 128));
        painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), QColor(128, 128, 128));
    }
}

void GridBase::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect clip = event->rect();
    const int clientWidth = viewport()->width();
    const int clientHeight = viewport()->height();
    const int height = DefaultRowHeight();
    const int extent = height + kLineWidth;
    const bool focused = hasFocus();
    const GridRect sel = Selection();
    const GridOptions options = Options();
    const QPalette &pal = palette();

    const QList<ShownColumn> columns = shownColumns(colWidthList(), m_leftCol, clientWidth);
    const int gridRight = columns.isEmpty() ? 0 : columns.last().left + columns.last().width + kLineWidth;

    int y = 0;
    int row = 0;
    CellCanvas canvas;
    while (y < clientHeight && row < RowCount()) {
        if (QRect(0, y, clientWidth, extent).intersects(clip)) {
            for (const ShownColumn &column : columns) {
                const QRect rect(column.left, y, column.width, height);
                if (!rect.adjusted(0, 0, kLineWidth, kLineWidth).intersects(clip))
                    continue;
                TGridDrawState state;
                const bool current = column.col == Col() && row == Row();
                if (row > 0 && column.col >= sel.Left && column.col <= sel.Right && row >= sel.Top
                    && row <= sel.Bottom)
                    state |= gdSelected;
                if (focused && current)
                    state |= gdFocused;
                canvas.Font = font();
                if (row == 0) {
                    canvas.Brush = pal.color(QPalette::Button);
                    canvas.FontColor = pal.color(QPalette::ButtonText);
                } else if (state.testFlag(gdSelected)
                    && (!state.testFlag(gdFocused) || (options & (goDrawFocusSelected | goRowSelect)))) {
                    canvas.Brush = pal.color(QPalette::Highlight);
                    canvas.FontColor = pal.color(QPalette::HighlightedText);
                } else {
                    canvas.Brush = pal.color(QPalette::Base);
                    canvas.FontColor = pal.color(QPalette::Text);
                }
                drawCell(painter, column.col, row, rect, state, canvas);
                drawGridLines(painter, column.col, row, rect);
            }
        }
        y += extent;
        row = row == 0 ? m_topRow : row + 1;
    }
    const QColor window = pal.color(QPalette::Base);
    if (gridRight < clientWidth)
        painter.fillRect(QRect(gridRight, 0, clientWidth - gridRight, std::min(y, clientHeight)), window);
    if (y < clientHeight)
        painter.fillRect(QRect(0, y, clientWidth, clientHeight - y), window);

    if (focused && !m_editorMode && Row() >= m_topRow) {
        QRect focusRect;
        if (RowSelect()) {
            for (int c = sel.Left; c <= sel.Right; ++c)
                focusRect |= cellRect(c, Row());
        } else {
            focusRect = cellRect(Col(), Row());
        }
        if (!focusRect.isEmpty()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = focusRect;
            option.backgroundColor = pal.color(QPalette::Highlight);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
}

void GridBase::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
    placeEditor();
}

// --- Input -------------------------------------------------------------------------
