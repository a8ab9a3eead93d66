#include "grid/celleditor.h"

#include "grid/gridbase.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

CellEditor::CellEditor(GridBase *grid)
    : QLineEdit(grid->viewport())
    , m_grid(grid)
{
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    // Text reaches a cell only as typed characters, through the grid's key filter.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    hide();
}

bool CellEditor::event(QEvent *event)
{
    // The window's own shortcuts win over the editing keys of the line edit
    // (Ctrl+A, Ctrl+V...): the operator's commands work while a cell is edited.
    if (event->type() == QEvent::ShortcutOverride && isWindowShortcut(*static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QLineEdit::event(event);
}

bool CellEditor::isWindowShortcut(const QKeyEvent &event) const
{
    const QKeySequence pressed(event.keyCombination());
    const QList<QAction *> actions = window()->actions();
    return std::any_of(actions.begin(), actions.end(), [&pressed](const QAction *action) {
        return action->shortcutContext() != Qt::WidgetShortcut && action->shortcuts().contains(pressed);
    });
}

void CellEditor::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton)
        return; // the selection paste
    QLineEdit::mousePressEvent(event);
}

void CellEditor::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton)
        return;
    QLineEdit::mouseReleaseEvent(event);
}

void CellEditor::typeChar(QChar ch)
{
    enterChar(ch, nullptr);
}

void CellEditor::keyPressEvent(QKeyEvent *event)
{
    if (m_grid->inputBlocked())
        return;
    int key = event->key();
    const Qt::KeyboardModifiers shift
        = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool toGrid = key == Qt::Key_Escape || key == Qt::Key_PageUp || key == Qt::Key_PageDown
        || key == Qt::Key_Up || key == Qt::Key_Down
        || ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !(shift & Qt::AltModifier))
        || (key == Qt::Key_Insert && shift == Qt::NoModifier)
        || (key == Qt::Key_Delete && shift == Qt::ControlModifier);
    const QString text = event->text();
    const bool isChar = text.size() == 1 && text[0] != QChar(0x7f);
    if (toGrid) {
        m_grid->keyDown(key, shift);
        if (isChar) {
            QChar ch = text[0];
            m_grid->keyPress(ch);
        }
        event->accept();
        return;
    }
    m_grid->doKeyDown(key, shift);
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        return;
    }
    if (isChar) {
        enterChar(text[0], event);
        return;
    }
    if (key != 0)
        QLineEdit::keyPressEvent(event);
}

void CellEditor::keyReleaseEvent(QKeyEvent *event)
{
    QLineEdit::keyReleaseEvent(event);
}

void CellEditor::enterChar(QChar ch, QKeyEvent *original)
{
    QChar key = ch;
    m_grid->keyPress(key);
    if (key.isNull() || key == u'\t' || key == QChar(27) || key == u'\r' || !m_grid->editorMode())
        return;
    if (original && key == ch) {
        QLineEdit::keyPressEvent(original);
        return;
    }
    if (key == u'\b')
        backspace();
    else if (key.unicode() >= 32)
        insert(QString(key));
}
