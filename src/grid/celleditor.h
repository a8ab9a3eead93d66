#pragma once

#include <QLineEdit>

class GridBase;

// The in-place cell editor. It hands navigation keys to the grid and passes every
// character through the grid's key-press handling before taking it.
class CellEditor : public QLineEdit
{
public:
    explicit CellEditor(GridBase *grid);

    // Enters a character as if it had been typed here.
    void typeChar(QChar ch);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void enterChar(QChar ch, QKeyEvent *original);
    bool isWindowShortcut(const QKeyEvent &event) const;
    GridBase *m_grid;
};
