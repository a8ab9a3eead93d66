#pragma once

#include <QAction>
#include <QActionEvent>
#include <QCoreApplication>
#include <QToolButton>

// A tool button that shows its command's action (glyph, hint, checked state) and runs
// it, with an enabled state of its own on top of the action's: a greyed-out Save or
// Print button must leave Ctrl+S and Ctrl+P working, so the action stays enabled and
// only the button is switched off. QToolButton copies the action's enabled state again
// on every change of the action; that copy is corrected here.
class CommandButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

    void setCommand(QAction *action)
    {
        setDefaultAction(action);
        applyEnabled();
    }
    void setButtonEnabled(bool enabled)
    {
        m_buttonEnabled = enabled;
        applyEnabled();
    }

protected:
    // Runs the command. The button's repaint right after paints the whole window with what
    // the command changed: the layouts that this moves are settled first, so that the window
    // is painted once, in its final form, and not again on the next pass of the event loop.
    void nextCheckState() override
    {
        QToolButton::nextCheckState();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    void actionEvent(QActionEvent *event) override
    {
        QToolButton::actionEvent(event);
        applyEnabled();
    }

private:
    void applyEnabled()
    {
        const QAction *action = defaultAction();
        setEnabled(m_buttonEnabled && (!action || action->isEnabled()));
    }

    bool m_buttonEnabled = true;
};
