// Keys, mouse, wheel, the current cell with its selection bookkeeping, focus and
// cell validation of the sortable grid.
#include "grid/sortgrid.h"

#include <QCursor>
#include <QDrag>
#include <QKeyEvent>
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

} // namespace

bool TSortGrid::isRowSelected(int row) const
{
    return rowListContains(SelectedRowList, QString::number(row));
}

// --- Current cell ------------------------------------------------------------------

bool TSortGrid::SelectCell(int col, int row)
{
    bool allowed = false;
    if (editorMode()) {
        bool checkBox = false;
        bool combobox = false;
        CellFormat(col, row, &checkBox, &combobox);
        if (combobox) {
            ShowCellList(col, row);
            if (m_tabDown && col < ColCount() - 2)
                MoveCurrent(col + 1, row);
        }
        allowed = !combobox && !checkBox && GridBase::SelectCell(col, row);
    } else {
        allowed = GridBase::SelectCell(col, row);
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
    if (focusCell(col, row, true)) {
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
    setLeftCol(scrollToCellLeftCol(col, leftCol(), colWidthList(), viewport()->width()));
    setTopRow(
        scrollToCellTopRow(row, RowCount(), visibleRowCapacity(viewport()->height(), DefaultRowHeight())));
}

void TSortGrid::selectSingleRow(int row)
{
    const bool tracking = SelectionTracking();
    setSelectionTracking(false);
    focusCell(Col(), row, true);
    setSelectionTracking(tracking);
    ClearSelection();
    SelectedRowList.append(QString::number(row));
    AnchorRowList = QStringList { QString::number(row) };
}

void TSortGrid::selectRowsOfSelection()
{
    const GridRect sel = Selection();
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

void TSortGrid::keyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        m_tabDown = true;
    const bool shiftHeld = shift.testFlag(Qt::ShiftModifier) || key == Qt::Key_Shift;
    if (m_multiSelect && !editorMode()) {
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
    if (m_extendedKeys && !editorMode()) {
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
    GridBase::keyDown(key, shift);
}

void TSortGrid::keyUp(int &key, Qt::KeyboardModifiers shift)
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
    if (m_multiSelect && !editorMode()) {
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
    GridBase::keyUp(key, shift);
}

void TSortGrid::keyPress(QChar &key)
{
    if (key == u'\r')
        validateCell();
    // The owner's handler first: a key it takes goes to no search.
    const bool search = !editorMode() && !key.isNull();
    if (search)
        key = upperAscii(key);
    doKeyPress(key);
    if (search && !key.isNull()) {
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
    keyPressed(key);
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
    QPoint cell = mouseCoord(pos);
    if (cell.y() < 0 && RowCount() > 1) {
        // The empty area below the last row acts on the last row.
        const int col = columnAt(pos.x());
        const QRect last = cellRect(col, RowCount() - 1);
        if (col >= 0 && !last.isEmpty() && pos.y() > last.bottom())
            cell = QPoint(col, RowCount() - 1);
    }
    return cell;
}

void TSortGrid::mouseDown(
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
            const QRect rect = cellRect(cell.x(), 0);
            int previous = -1;
            for (int c = cell.x() - 1; c >= leftCol() && previous < 0; --c) {
                if (ColWidths(c) >= 0)
                    previous = c;
            }
            const int target = autoSizeTarget(pos.x(), cell.x(), rect.left(), rect.right(), previous);
            if (target >= 0)
                AutoSizeColumn(target, true);
        }
        GridBase::mouseDown(button, shift, pos, true);
        return;
    }

    bool runBase = true;
    if (m_multiSelect && cell.y() >= 1 && !editorMode()) {
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
        GridBase::mouseDown(button, shift, pos, false);
}

void TSortGrid::mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, const QPoint &pos)
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
    GridBase::mouseMove(buttons, shift, pos);
}

void TSortGrid::mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos)
{
    if (m_ignoreMouseUp) {
        m_ignoreMouseUp = false;
        return;
    }
    m_dragStart.reset();
    setFocus();
    const bool moved = isMovingColumn() && m_pressCell.x() != columnAt(pos.x());
    GridBase::mouseUp(button, shift, pos);
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
            const QRect rect = cellRect(cell.x(), cell.y());
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

    if (m_multiSelect && button == Qt::LeftButton && cell.y() >= 1 && !editorMode()) {
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
                    focusCell(Col(), row, false);
                    setSelectionTracking(tracking);
                }
            } else if (SelectedRowList.size() > 1) {
                SelectedRowList.removeAll(text);
                AnchorRowList.removeAll(text);
                const int back = AnchorRowList.isEmpty() ? 0 : AnchorRowList.last().toInt();
                if (back >= 1) {
                    const bool tracking = SelectionTracking();
                    setSelectionTracking(false);
                    focusCell(Col(), back, false);
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

bool TSortGrid::doMouseWheel(int steps, Qt::KeyboardModifiers shift)
{
    const int direction = steps < 0 ? 1 : -1;
    for (int i = 0; i < std::abs(steps); ++i) {
        GridBase::doMouseWheel(-direction, shift);
        ScrollToCell(Col(), topRow() + 2 * direction);
    }
    return true;
}

void TSortGrid::dblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TSortGrid::click()
{
    validateCell();
    if (OnClick)
        OnClick(this);
}

// --- Focus and validation --------------------------------------------------------------

void TSortGrid::doEnter()
{
    rememberCell();
    if (OnEnter)
        OnEnter(this);
}

void TSortGrid::doExit()
{
    click();
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
        if (editorMode() && old.col == Col() && old.row == Row()
            && cellEditor()->text() != Cells(Col(), Row()))
            cellEditor()->setText(Cells(Col(), Row()));
    }
    rememberCell();
}
