// The grid base's keyboard, mouse, wheel and focus handling.
#include "grid/gridbase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

using namespace GridGeometry;

bool GridBase::event(QEvent *event)
{
    if (m_inputBlocked) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
            return true;
        default:
            break;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool GridBase::viewportEvent(QEvent *event)
{
    if (m_inputBlocked) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            return true;
        default:
            break;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void GridBase::onFocusChanged(QWidget *old, QWidget *now)
{
    Q_UNUSED(old);
    // Focus going to another window (or none) leaves the grid the active control
    // of its own window; only a move inside the window enters or exits it.
    if (!now || now->window() != window())
        return;
    const bool inside = now == this || isAncestorOf(now);
    if (inside && !m_focusWithin) {
        m_focusWithin = true;
        doEnter();
    } else if (!inside && m_focusWithin) {
        m_focusWithin = false;
        doExit();
    }
    invalidateRow(Row());
}

void GridBase::keyPressEvent(QKeyEvent *event)
{
    handleKeyPress(event);
    event->accept();
}

void GridBase::handleKeyPress(QKeyEvent *event)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift
        = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    keyDown(key, shift);
    const QString text = event->text();
    if (text.size() != 1 || text[0] == QChar(0x7f))
        return;
    QChar ch = text[0];
    if (hasOption(goEditing) && (ch == u'\b' || ch.unicode() >= 32) && canEditShow()) {
        showEditor();
        m_editor->typeChar(ch);
        return;
    }
    keyPress(ch);
}

void GridBase::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    int key = event->key();
    keyUp(key, event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}

void GridBase::keyDown(int &key, Qt::KeyboardModifiers shift)
{
    doKeyDown(key, shift);
    if (key == 0)
        return;
    const bool ctrl = shift.testFlag(Qt::ControlModifier);
    int col = Col();
    int row = Row();
    auto nextShownCol = [this](int from, int step) {
        for (int c = from + step; c >= 0 && c < ColCount(); c += step) {
            if (ColWidths(c) >= 0)
                return c;
        }
        return from;
    };
    switch (key) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_PageUp:
        row -= std::max(1, visibleRowCount());
        break;
    case Qt::Key_PageDown:
        row += std::max(1, visibleRowCount());
        break;
    case Qt::Key_Left:
        if (RowSelect()) {
            setLeftCol(m_leftCol - 1);
            return;
        }
        col = nextShownCol(col, -1);
        break;
    case Qt::Key_Right:
        if (RowSelect()) {
            setLeftCol(m_leftCol + 1);
            return;
        }
        col = nextShownCol(col, 1);
        break;
    case Qt::Key_Home:
        if (ctrl || RowSelect())
            row = 1;
        if (!RowSelect())
            col = nextShownCol(-1, 1);
        break;
    case Qt::Key_End:
        if (ctrl || RowSelect())
            row = RowCount() - 1;
        if (!RowSelect())
            col = nextShownCol(ColCount(), -1);
        break;
    case Qt::Key_F2:
        if (hasOption(goEditing))
            showEditor();
        return;
    default:
        return;
    }
    row = std::clamp(row, 1, std::max(1, RowCount() - 1));
    col = std::clamp(col, 0, ColCount() - 1);
    if (RowCount() < 2)
        return;
    if (shift.testFlag(Qt::ShiftModifier) && hasOption(goRangeSelect))
        extendSelection(col, row);
    else if (col != Col() || row != Row())
        focusCell(col, row, true);
}

void GridBase::keyPress(QChar &key)
{
    doKeyPress(key);
    keyPressed(key);
}

void GridBase::keyPressed(QChar &key)
{
    if (!hasOption(goAlwaysShowEditor) && key == u'\r') {
        if (m_editorMode)
            hideEditor();
        else
            showEditor();
        key = QChar();
    }
}

void GridBase::keyUp(int &key, Qt::KeyboardModifiers shift)
{
    doKeyUp(key, shift);
}

void GridBase::mousePressEvent(QMouseEvent *event)
{
    mouseDown(event->button(), event->modifiers(), event->position().toPoint(), false);
}

void GridBase::mouseDoubleClickEvent(QMouseEvent *event)
{
    mouseDown(event->button(), event->modifiers(), event->position().toPoint(), true);
}

void GridBase::mouseMoveEvent(QMouseEvent *event)
{
    mouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
}

void GridBase::mouseReleaseEvent(QMouseEvent *event)
{
    mouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void GridBase::wheelEvent(QWheelEvent *event)
{
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        doMouseWheel(steps, event->modifiers());
    event->accept();
}

bool GridBase::doMouseWheel(int steps, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(shift);
    const int row = std::clamp(Row() - steps, 1, std::max(1, RowCount() - 1));
    if (row != Row())
        focusCell(Col(), row, true);
    return true;
}

void GridBase::mouseDown(
    Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos, bool isDouble)
{
    if (button != Qt::LeftButton)
        return;
    if (isDouble) {
        dblClick();
        return;
    }
    if (!hasFocus())
        setFocus();
    const QPoint cell = mouseCell(pos);
    if (cell.y() == 0 || (cell.y() < 0 && pos.y() < DefaultRowHeight() + kLineWidth)) {
        if (hasOption(goColSizing)) {
            QList<int> cols;
            const int hit = columnSizingHit(pos.x(), columnRightEdges(&cols));
            if (hit >= 0) {
                m_sizingCol = cols[hit];
                m_sizingStartX = pos.x();
                m_sizingStartWidth = ColWidths(m_sizingCol);
                return;
            }
        }
        if (hasOption(goColMoving) && cell.x() >= 0) {
            m_movingCol = cell.x();
            m_movingTarget = cell.x();
        }
        return;
    }
    if (cell.x() < 0 || cell.y() < 1)
        return;
    if (hasOption(goRangeSelect) && shift.testFlag(Qt::ShiftModifier)) {
        extendSelection(cell.x(), cell.y());
        return;
    }
    if (hasOption(goEditing) && cell == QPoint(Col(), Row()) && !m_editorMode && canEditShow()) {
        showEditor();
        return;
    }
    if (focusCell(cell.x(), cell.y(), true) && hasOption(goRangeSelect))
        m_rangeDragging = true;
}

void GridBase::mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, const QPoint &pos)
{
    Q_UNUSED(shift);
    if (m_sizingCol >= 0) {
        setColWidths(m_sizingCol, std::max(0, m_sizingStartWidth + pos.x() - m_sizingStartX));
        return;
    }
    if (m_movingCol >= 0) {
        const int col = columnAt(pos.x());
        if (col >= 0)
            m_movingTarget = col;
        return;
    }
    if (m_rangeDragging && buttons == Qt::LeftButton) {
        const QPoint cell = mouseCell(pos);
        if (cell.x() >= 0 && cell.y() >= 1 && cell != QPoint(Col(), Row()))
            extendSelection(cell.x(), cell.y());
    }
}

void GridBase::mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos)
{
    Q_UNUSED(shift);
    Q_UNUSED(pos);
    if (button != Qt::LeftButton)
        return;
    m_rangeDragging = false;
    if (m_sizingCol >= 0) {
        m_sizingCol = -1;
        colWidthsChangedByUser();
        return;
    }
    if (m_movingCol >= 0) {
        const int from = m_movingCol;
        const int to = m_movingTarget;
        m_movingCol = -1;
        m_movingTarget = -1;
        if (to >= 0 && to != from)
            moveColumnByDrag(from, to);
    }
}
