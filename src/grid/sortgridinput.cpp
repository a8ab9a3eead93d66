// Keys, mouse, wheel, selection bookkeeping, special cells, row and column edits,
// the filter and cell validation of the sortable grid.
#include "grid/sortgrid.h"

#include <QCursor>
#include <QDrag>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>

#include <algorithm>

using namespace GridGeometry;

namespace {

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

QChar upperAscii(QChar ch)
{
    return (ch >= u'a' && ch <= u'z') ? QChar(ch.unicode() - 32) : ch;
}

bool rowIsEmpty(const QStringList &texts)
{
    return std::all_of(texts.begin(), texts.end(), [](const QString &text) { return text.isEmpty(); });
}

} // namespace

template <class Function> void TSortGrid::withoutAlwaysShowEditor(Function &&function)
{
    const bool always = hasOption(goAlwaysShowEditor);
    if (always)
        setOption(goAlwaysShowEditor, false);
    function();
    if (always)
        setOption(goAlwaysShowEditor, true);
}

bool TSortGrid::isRowSelected(int row) const
{
    return rowListContains(SelectedRowList, QString::number(row));
}

// --- Current cell ------------------------------------------------------------------

bool TSortGrid::SelectCell(int col, int row)
{
    bool allowed = false;
    if (EditorMode()) {
        bool checkBox = false;
        bool combobox = false;
        CellFormat(col, row, &checkBox, &combobox);
        if (combobox) {
            ShowCellList(col, row);
            if (m_tabDown && col < ColCount() - 2)
                MoveCurrent(col + 1, row);
        }
        allowed = !combobox && !checkBox && TMyCustomGrid::SelectCell(col, row);
    } else {
        allowed = TMyCustomGrid::SelectCell(col, row);
    }
    invalidateRow(Row());
    invalidateRow(row);
    return allowed;
}

void TSortGrid::GoToCell(int col, int row, bool scroll)
{
    if (RowCount() < 2)
        return;
    col = std::clamp(col, 0, ColCount() - 1);
    row = std::clamp(row, 1, RowCount() - 1);
    const bool painting = updatesEnabled();
    setUpdatesEnabled(false);
    if (FocusCell(col, row, true)) {
        ClearSelection();
        SelectedRowList = QStringList { QString::number(row) };
        AnchorRowList = QStringList { QString::number(row) };
        viewport()->update();
        if (scroll)
            ScrollToCell(col, row);
    }
    setUpdatesEnabled(painting);
}

void TSortGrid::ScrollToCell(int col, int row)
{
    if (RowCount() < 2)
        return;
    col = std::clamp(col, 0, ColCount() - 1);
    row = std::clamp(row, 1, RowCount() - 1);
    setLeftCol(scrollToCellLeftCol(col, LeftCol(), colWidthList(), viewport()->width()));
    setTopRow(
        scrollToCellTopRow(row, RowCount(), visibleRowCapacity(viewport()->height(), DefaultRowHeight())));
}

void TSortGrid::selectSingleRow(int row)
{
    const bool tracking = SelectionTracking();
    setSelectionTracking(false);
    FocusCell(Col(), row, true);
    setSelectionTracking(tracking);
    ClearSelection();
    SelectedRowList.append(QString::number(row));
    AnchorRowList = QStringList { QString::number(row) };
}

void TSortGrid::selectRowsOfSelection()
{
    const TGridRect sel = Selection();
    const int first = std::max(1, sel.Top);
    // Looking each row up in the lists would make a range of many thousand rows take seconds.
    std::vector<bool> selected = rowListMarks(SelectedRowList, first, sel.Bottom);
    std::vector<bool> anchored = rowListMarks(AnchorRowList, first, sel.Bottom);
    SelectedRowList.reserve(SelectedRowList.size() + qsizetype(selected.size()));
    AnchorRowList.reserve(AnchorRowList.size() + qsizetype(anchored.size()));
    for (int row = first; row <= sel.Bottom; ++row) {
        const size_t i = size_t(row - first);
        if (!selected[i] || !anchored[i]) {
            const QString text = QString::number(row);
            if (!selected[i])
                SelectedRowList.append(text);
            if (!anchored[i])
                AnchorRowList.append(text);
        }
        invalidateRow(row);
    }
}

// --- Keys --------------------------------------------------------------------------

void TSortGrid::KeyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        m_tabDown = true;
    const bool shiftHeld = shift.testFlag(Qt::ShiftModifier) || key == Qt::Key_Shift;
    if (m_multiSelect && !EditorMode()) {
        setSelectionTracking(false);
        if (key == Qt::Key_Shift) {
            setOption(goRangeSelect, true);
            ClearSelection();
        }
        if (shiftHeld) {
            if (AnchorRowList.isEmpty())
                AnchorRowList.append(QString());
            AnchorRowList[0] = QString::number(Row());
        }
        if (isNavigationKey(key) && !shiftHeld)
            setSelectionTracking(true);
    }
    if (m_extendedKeys && !EditorMode()) {
        const Qt::KeyboardModifiers mods
            = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (mods == Qt::ControlModifier && key == Qt::Key_Insert)
            InsertGridRow(Row());
        else if (mods == Qt::ControlModifier && key == Qt::Key_Delete && RowCount() > 2)
            DeleteGridRow(Row());
        else if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Insert)
            InsertGridColumn(Col());
        else if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Delete && ColCount() > 1)
            DeleteGridColumn(Col());
    }
    TMyCustomGrid::KeyDown(key, shift);
}

void TSortGrid::KeyUp(int &key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        m_tabDown = false;
    if (key == Qt::Key_Space && Row() >= 1) {
        bool checkBox = false;
        bool combobox = false;
        bool ellipsis = false;
        CellFormat(Col(), Row(), &checkBox, &combobox, &ellipsis);
        if (combobox) {
            if (!ShowCellList(Col(), Row()))
                HideCellList();
        } else if (checkBox) {
            ToggleCheckBox(Col(), Row());
        } else if (ellipsis && OnSetEllipsis) {
            OnSetEllipsis(this, Col(), Row());
        }
    }
    if (m_multiSelect && !EditorMode()) {
        setSelectionTracking(true);
        const bool shiftHeld = shift.testFlag(Qt::ShiftModifier);
        if (key == Qt::Key_Shift && SelectedRowList.isEmpty()) {
            selectRowsOfSelection();
        } else if (isNavigationKey(key) && !shiftHeld) {
            ClearSelection();
            selectRowsOfSelection();
            setOption(goRangeSelect, false);
        }
        if (OnRowSelected)
            OnRowSelected(this);
    }
    TMyCustomGrid::KeyUp(key, shift);
}

void TSortGrid::KeyPress(QChar &key)
{
    if (key == u'\r')
        validateCell();
    if (!EditorMode() && !key.isNull()) {
        key = upperAscii(key);
        const int col = SortOptions().SortCol;
        auto matches = [&](int row) {
            const QString text = Cells(col, row);
            return !text.isEmpty() && upperAscii(text[0]) == key;
        };
        int found = -1;
        for (int row = Row() + 1; row < RowCount() && found < 0; ++row) {
            if (matches(row))
                found = row;
        }
        for (int row = 1; row <= Row() && found < 0; ++row) {
            if (matches(row))
                found = row;
        }
        if (found > 0)
            GoToCell(col, found, true);
    }
    TMyCustomGrid::KeyPress(key);
}

void TSortGrid::doKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TSortGrid::doKeyPress(QChar &key)
{
    if (OnKeyPress)
        OnKeyPress(this, key);
}

void TSortGrid::doKeyUp(int &key, Qt::KeyboardModifiers shift)
{
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

// --- Mouse -------------------------------------------------------------------------

QPoint TSortGrid::mouseCell(const QPoint &pos) const
{
    QPoint cell = MouseCoord(pos);
    if (cell.y() < 0 && RowCount() > 1) {
        // The empty area below the last row acts on the last row.
        const int col = ColumnAt(pos.x());
        const QRect last = CellRect(col, RowCount() - 1);
        if (col >= 0 && !last.isEmpty() && pos.y() > last.bottom())
            cell = QPoint(col, RowCount() - 1);
    }
    return cell;
}

void TSortGrid::MouseDown(
    Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos, bool isDouble)
{
    HideCellList();
    const QPoint cell = mouseCell(pos);
    m_pressCell = cell;
    m_pressOnBorder = false;
    if (cell.y() == 0)
        m_pressOnBorder = columnSizingHit(pos.x(), columnRightEdges()) >= 0;

    if (isDouble && button == Qt::LeftButton) {
        if (cell.y() == 0 && cell.x() >= 0) {
            const QRect rect = CellRect(cell.x(), 0);
            int previous = -1;
            for (int c = cell.x() - 1; c >= LeftCol() && previous < 0; --c) {
                if (ColWidths(c) >= 0)
                    previous = c;
            }
            const int target = autoSizeTarget(pos.x(), cell.x(), rect.left(), rect.right(), previous);
            if (target >= 0)
                AutoSizeColumn(target, true);
        }
        TMyCustomGrid::MouseDown(button, shift, pos, true);
        return;
    }

    bool runBase = true;
    if (m_multiSelect && cell.y() >= 1 && !EditorMode()) {
        const bool selected = isRowSelected(cell.y());
        if (button == Qt::LeftButton && !(shift & (Qt::ShiftModifier | Qt::ControlModifier)) && !selected) {
            setOption(goRangeSelect, false);
            selectSingleRow(cell.y());
            if (OnRowSelected)
                OnRowSelected(this);
        } else if (selected) {
            m_dragStart = pos;
        }
        runBase = hasOption(goRangeSelect) && button == Qt::LeftButton && shift.testFlag(Qt::ShiftModifier);
    }
    if (runBase)
        TMyCustomGrid::MouseDown(button, shift, pos, false);
}

void TSortGrid::MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, const QPoint &pos)
{
    if (m_dragStart && buttons == Qt::LeftButton) {
        const QPoint delta = pos - *m_dragStart;
        if (std::abs(delta.x()) > 10 || std::abs(delta.y()) > 10) {
            m_dragStart.reset();
            m_ignoreMouseUp = true;
            QMimeData *data = nullptr;
            if (OnStartDrag)
                OnStartDrag(this, data);
            if (data) {
                auto *drag = new QDrag(this);
                drag->setMimeData(data);
                drag->exec(Qt::CopyAction | Qt::MoveAction);
            }
            return;
        }
    }
    TMyCustomGrid::MouseMove(buttons, shift, pos);
}

void TSortGrid::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos)
{
    if (m_ignoreMouseUp) {
        m_ignoreMouseUp = false;
        return;
    }
    m_dragStart.reset();
    setFocus();
    const bool moved = isMovingColumn() && m_pressCell.x() != ColumnAt(pos.x());
    TMyCustomGrid::MouseUp(button, shift, pos);
    const QPoint cell = mouseCell(pos);

    if (button == Qt::RightButton && cell.y() >= 1 && m_popupMenu)
        m_popupMenu->popup(viewport()->mapToGlobal(pos));

    if (cell == m_pressCell && cell.y() >= 1) {
        bool checkBox = false;
        bool combobox = false;
        bool ellipsis = false;
        CellFormat(cell.x(), cell.y(), &checkBox, &combobox, &ellipsis);
        if (checkBox) {
            ToggleCheckBox(cell.x(), cell.y());
        } else if (combobox) {
            if (!ShowCellList(cell.x(), cell.y()))
                HideCellList();
        } else if (ellipsis && OnSetEllipsis) {
            const QRect rect = CellRect(cell.x(), cell.y());
            if (pos.x() > rect.right() - kButtonWidth)
                OnSetEllipsis(this, cell.x(), cell.y());
        }
    }

    if (cell.y() == 0 && cell.x() >= 0 && cell.x() == m_pressCell.x() && m_pressCell.y() == 0
        && !m_pressOnBorder && !moved && (button == Qt::LeftButton || button == Qt::RightButton)) {
        // Without sorting a header click changes nothing, not even the direction the
        // next sort will use.
        TSortOptions &options = SortOptions();
        if (options.CanSort) {
            if (button == Qt::RightButton)
                options.SortDirection = sdDescending;
            else if (options.SortDirection == sdDescending)
                options.SortDirection = sdAscending;
            else
                options.SortDirection = cell.x() == options.SortCol ? sdDescending : sdAscending;
            SortRowsByColumn(cell.x());
        }
    }

    if (m_multiSelect && button == Qt::LeftButton && cell.y() >= 1 && !EditorMode()) {
        const int row = cell.y();
        const QString text = QString::number(row);
        if (shift.testFlag(Qt::ControlModifier)) {
            setOption(goRangeSelect, false);
            if (!isRowSelected(row)) {
                SelectedRowList.append(text);
                AnchorRowList.append(text);
                if (row != Row()) {
                    const bool tracking = SelectionTracking();
                    setSelectionTracking(false);
                    FocusCell(Col(), row, false);
                    setSelectionTracking(tracking);
                }
            } else if (SelectedRowList.size() > 1) {
                SelectedRowList.removeAll(text);
                AnchorRowList.removeAll(text);
                const int back = AnchorRowList.isEmpty() ? 0 : AnchorRowList.last().toInt();
                if (back >= 1) {
                    const bool tracking = SelectionTracking();
                    setSelectionTracking(false);
                    FocusCell(Col(), back, false);
                    setSelectionTracking(tracking);
                }
            }
            invalidateRow(row);
        } else if (shift.testFlag(Qt::ShiftModifier)) {
            ClearSelection();
            AnchorRowList.clear();
            selectRowsOfSelection();
        } else {
            setOption(goRangeSelect, false);
            selectSingleRow(row);
        }
        if (OnRowSelected)
            OnRowSelected(this);
    }
}

bool TSortGrid::DoMouseWheel(int steps, Qt::KeyboardModifiers shift)
{
    const int direction = steps < 0 ? 1 : -1;
    for (int i = 0; i < std::abs(steps); ++i) {
        TMyCustomGrid::DoMouseWheel(-direction, shift);
        ScrollToCell(Col(), TopRow() + 2 * direction);
    }
    return true;
}

void TSortGrid::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TSortGrid::Click()
{
    validateCell();
    if (OnClick)
        OnClick(this);
}

// --- Focus and validation --------------------------------------------------------------

void TSortGrid::DoEnter()
{
    rememberCell();
    if (OnEnter)
        OnEnter(this);
}

void TSortGrid::DoExit()
{
    Click();
    validateCell();
    if (OnExit)
        OnExit(this);
}

void TSortGrid::editorShown()
{
    m_remembered.active = true;
    rememberCell();
}

void TSortGrid::rememberCell()
{
    m_remembered.col = Col();
    m_remembered.row = Row();
    m_remembered.text = Cells(Col(), Row());
    m_remembered.modified = Modified();
}

void TSortGrid::validateCell()
{
    if (!m_remembered.active)
        return;
    const RememberedCell old = m_remembered;
    const QString current = Cells(old.col, old.row);
    if (current != old.text) {
        QString newValue = current;
        bool valid = true;
        if (OnCellValidate)
            OnCellValidate(this, old.col, old.row, old.text, newValue, valid);
        if (valid) {
            if (newValue != current)
                setCells(old.col, old.row, newValue);
        } else {
            setCells(old.col, old.row, newValue != current ? newValue : old.text);
            SetModified(old.modified);
        }
        if (EditorMode() && old.col == Col() && old.row == Row()
            && InplaceEditor()->text() != Cells(Col(), Row()))
            InplaceEditor()->setText(Cells(Col(), Row()));
    }
    rememberCell();
}

// --- Special cells ---------------------------------------------------------------------

void TSortGrid::ToggleCheckBox(int col, int row)
{
    const QString text = Cells(col, row);
    const bool checked = text == QLatin1String("true") || text == QLatin1String("1");
    SetEditText(col, row, checked ? QString() : QStringLiteral("1"));
    invalidateRow(row);
    if (OnSetChecked)
        OnSetChecked(this, col, row, !checked);
}

bool TSortGrid::ShowCellList(int col, int row)
{
    QStringList strs;
    int listWidth = 0;
    int listHeight = 0;
    bool sorted = true;
    if (OnGetComboBox)
        OnGetComboBox(this, col, row, strs, listWidth, listHeight, sorted);
    if (strs.isEmpty())
        return false;
    m_cellList->clear();
    m_cellList->setFont(font());
    m_cellList->addItems(strs);
    if (sorted)
        m_cellList->sortItems();
    const QList<QListWidgetItem *> same = m_cellList->findItems(Cells(col, row), Qt::MatchExactly);
    m_cellList->setCurrentItem(same.isEmpty() ? m_cellList->item(0) : same.first());
    const QRect cell = CellRect(col, row);
    const int itemHeight = std::max(1, m_cellList->sizeHintForRow(0));
    if (listWidth == 0)
        listWidth = std::max(cell.width(), 0) + 1;
    if (listHeight == 0)
        listHeight = int(std::min<qsizetype>(strs.size(), 20)) * itemHeight + 5;
    // Placed under its cell; where the cell is scrolled away, at the grid's corner.
    const QPoint at = cell.isEmpty() ? QPoint(2, 1) : QPoint(cell.left(), cell.bottom() + 1);
    m_cellList->setGeometry(at.x(), at.y(), listWidth, listHeight);
    m_listCell = QPoint(col, row);
    m_cellList->show();
    m_cellList->raise();
    m_cellList->setFocus();
    return true;
}

void TSortGrid::HideCellList()
{
    if (m_cellList->isHidden())
        return;
    if (m_cellList->hasFocus())
        setFocus();
    m_cellList->hide();
    m_listCell = QPoint(-1, -1);
}

void TSortGrid::applyCellList()
{
    if (m_cellList->isHidden() || m_listCell.x() < 0)
        return;
    const QPoint cell = m_listCell;
    const QListWidgetItem *item = m_cellList->currentItem();
    const QString text = item ? item->text() : QString();
    m_listCell = QPoint(-1, -1);
    SetEditText(cell.x(), cell.y(), text);
    setFocus();
    m_cellList->hide();
    viewport()->update();
    if (OnSetComboBox)
        OnSetComboBox(this, cell.x(), cell.y(), text);
}

bool TSortGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cellList || watched == m_cellList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            applyCellList();
            return false;
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
                applyCellList();
            return false;
        }
        case QEvent::FocusOut:
            if (watched == m_cellList)
                applyCellList();
            return false;
        default:
            break;
        }
    }
    return TMyCustomGrid::eventFilter(watched, event);
}

// --- Rows and columns ------------------------------------------------------------------

void TSortGrid::InsertGridRow(int row)
{
    const int oldLast = RowCount() - 1;
    const int target = std::clamp(row, 1, std::max(1, oldLast)) < oldLast ? std::max(row, 1) : oldLast + 1;
    InsertRow(target);
    for (int c = 0; c < ColCount(); ++c)
        setCells(c, target, QString());
    selectSingleRow(target);
    if (OnRowInsert)
        OnRowInsert(this, target);
}

void TSortGrid::DeleteGridRow(int row)
{
    withoutAlwaysShowEditor([&] {
        SetModified(true);
        if (RowCount() < 3) {
            for (int c = 0; c < ColCount(); ++c)
                setCells(c, 1, QString());
        } else {
            DeleteRow(row);
        }
    });
    if (OnRowDelete)
        OnRowDelete(this, row);
}

void TSortGrid::InsertGridColumn(int col)
{
    col = std::clamp(col, 0, ColCount());
    setColCount(ColCount() + 1);
    MoveColumn(ColCount() - 1, col);
    for (int r = 0; r < RowCount() + HiddenRowCount(); ++r)
        setCells(col, r, QString());
    setColWidths(col, DefaultColWidth());
    MoveCurrent(col, Row());
    if (OnColumnInsert)
        OnColumnInsert(this, col);
}

void TSortGrid::DeleteGridColumn(int col)
{
    if (col < 0 || col >= ColCount() || ColCount() <= 1)
        return;
    withoutAlwaysShowEditor([&] {
        for (int r = 0; r < RowCount() + HiddenRowCount(); ++r)
            setCells(col, r, QString());
        DeleteColumn(col);
    });
    if (OnColumnDelete)
        OnColumnDelete(this, col);
}

void TSortGrid::moveColumnByDrag(int fromCol, int toCol)
{
    withoutAlwaysShowEditor([&] { TMyCustomGrid::moveColumnByDrag(fromCol, toCol); });
}

void TSortGrid::ColumnMoved(int fromCol, int toCol)
{
    SetModified(true);
    int &sortCol = SortOptions().SortCol;
    if (fromCol == sortCol)
        sortCol = toCol;
    else if (toCol <= sortCol && sortCol <= fromCol)
        ++sortCol;
    else if (fromCol <= sortCol && sortCol <= toCol)
        --sortCol;
}

// --- Filter ------------------------------------------------------------------------------

void TSortGrid::setFiltered(bool on)
{
    m_filtered = on;
    const bool firstRowEmpty = RowCount() < 2 || rowIsEmpty(Rows(1));
    if (!((!on || !firstRowEmpty) && (on || HiddenRowCount() > 0)))
        return;
    const bool modified = Modified();
    const bool openBracket = !Updating();
    if (openBracket)
        BeginUpdate();
    if (on) {
        const int rowCount = RowCount();
        const int stored = rowCount + HiddenRowCount();
        std::vector<int> accepted { 0 };
        std::vector<int> rejected;
        for (int row = 1; row < rowCount; ++row) {
            bool accept = false;
            if (OnSetFilter)
                OnSetFilter(this, Rows(row), accept);
            (accept ? accepted : rejected).push_back(row);
        }
        for (int row = rowCount; row < stored; ++row)
            rejected.push_back(row);
        const int visible = int(accepted.size());
        std::vector<int> sources = accepted;
        if (visible == 1)
            sources.push_back(-1);
        sources.insert(sources.end(), rejected.begin(), rejected.end());
        rebuildRows(sources, std::max(visible, 2));
        if (visible > 1)
            SortRowsByColumn(SortOptions().SortCol);
        GoToCell(0, 1, true);
    } else {
        const int hidden = HiddenRowCount();
        std::vector<int> sources;
        const int stored = RowCount() + hidden;
        for (int row = 0; row < stored; ++row)
            sources.push_back(row);
        if (stored > 2 && rowIsEmpty(Rows(1)))
            sources.erase(sources.begin() + 1);
        rebuildRows(sources, int(sources.size()));
        if (hidden > 0)
            SortRowsByColumn(SortOptions().SortCol);
    }
    if (openBracket)
        EndUpdate();
    SetModified(modified);
}
