#pragma once

#include "grid/celleditor.h"
#include "grid/gridgeometry.h"
#include "grid/sortgridcore.h"

#include <QAbstractScrollArea>
#include <QBrush>
#include <QFlags>
#include <QFont>
#include <QPoint>
#include <QScrollBar>

#include <memory>

class BusyCursor;
class GridBase;

enum GridOption
{
    goFixedVertLine = 0x0001,
    goFixedHorzLine = 0x0002,
    goVertLine = 0x0004,
    goHorzLine = 0x0008,
    goRangeSelect = 0x0010,
    goDrawFocusSelected = 0x0020,
    goColSizing = 0x0040,
    goColMoving = 0x0080,
    goEditing = 0x0100,
    goAlwaysShowEditor = 0x0200,
    goRowSelect = 0x0400,
};
Q_DECLARE_FLAGS(GridOptions, GridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(GridOptions)

enum GridDrawStateFlag
{
    gdSelected = 0x1,
    gdFocused = 0x2,
    gdFixed = 0x4,
};
Q_DECLARE_FLAGS(TGridDrawState, GridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

enum ScrollStyle
{
    ssNone,
    ssHorizontal,
    ssVertical,
    ssBoth
};

// The canvas state a cell is drawn with: the base grid fills it in (highlight,
// header or window colours and the grid's font) before the cell is drawn.
struct CellCanvas
{
    QBrush Brush;
    QFont Font;
    QColor FontColor;
};

// A scroll bar of the grid: always 17 pixels thick, as the column arithmetic of
// the windows assumes.
class GridScrollBar : public QScrollBar
{
public:
    static constexpr int kThickness = 17;
    using QScrollBar::QScrollBar;
    QSize sizeHint() const override;
};

// The grid base: a scroll area that draws the cells of the row store with one
// fixed header row, grid lines, a current cell and a selection, lets the operator
// size and move columns, and edits cells in place. What a cell looks like and what
// the events do is left to the derived grid through the virtual methods below.
class GridBase : public QAbstractScrollArea, public SortGridCore
{
public:
    explicit GridBase(QWidget *parent = nullptr);
    ~GridBase() override;

    GridOptions Options() const;
    void setOptions(GridOptions options);
    bool hasOption(GridOption option) const { return Options().testFlag(option); }
    void setOption(GridOption option, bool on = true);
    // goEditing.
    bool cellEditing() const override { return hasOption(goEditing); }
    void setCellEditing(bool on) override { setOption(goEditing, on); }

    ScrollStyle ScrollBars() const { return m_scrollBars; }
    void setScrollBars(ScrollStyle style);

    int topRow() const { return m_topRow; }
    void setTopRow(int row);
    int leftCol() const { return m_leftCol; }
    void setLeftCol(int col);
    // Data rows and columns that are shown completely.
    int visibleRowCount() const;
    int visibleColCount() const;
    int rowHeights(int row) const;

    // Cell rectangle in viewport coordinates; empty when the cell is not shown.
    QRect cellRect(int col, int row) const;
    // Cell under a viewport position; (-1, -1) outside the cells.
    QPoint mouseCoord(const QPoint &pos) const;
    // The column under x (also in the gap after the last row); -1 outside.
    int columnAt(int x) const;

    // The in-place editor: editorMode True shows it on the current cell when
    // goEditing is on and goRowSelect is off.
    bool editorMode() const { return m_editorMode; }
    void setEditorMode(bool on);
    void showEditor();
    void hideEditor();
    CellEditor *cellEditor() const { return m_editor; }

    // The grid's grid-line position that ends each shown column, for hit tests.
    QList<int> columnRightEdges(QList<int> *columns = nullptr) const;
    QList<int> colWidthList() const;

    QSize sizeHint() const override;

    // The grid's own key handling; the editor hands keys to it.
    virtual void keyDown(int &key, Qt::KeyboardModifiers shift);
    virtual void keyPress(QChar &key);
    virtual void keyUp(int &key, Qt::KeyboardModifiers shift);

protected:
    friend class CellEditor;

    // What the grid does with a typed character once its owner's handler has seen it.
    void keyPressed(QChar &key);

    // Drawing of one cell; the canvas comes prepared by the base grid.
    virtual void drawCell(
        QPainter &painter, int col, int row, const QRect &rect, TGridDrawState state, CellCanvas &canvas);
    // The event hooks that the derived grid publishes. Each is called where the
    // base grid would fire the event.
    virtual void doKeyDown(int &key, Qt::KeyboardModifiers shift);
    virtual void doKeyPress(QChar &key);
    virtual void doKeyUp(int &key, Qt::KeyboardModifiers shift);
    virtual void dblClick();
    virtual void click();
    virtual void doEnter();
    virtual void doExit();
    virtual void columnMoved(int fromCol, int toCol);
    // A column dragged to another place by the operator.
    virtual void moveColumnByDrag(int fromCol, int toCol);
    // The cell a mouse position acts on.
    virtual QPoint mouseCell(const QPoint &pos) const { return mouseCoord(pos); }
    virtual void colWidthsChangedByUser() { }
    virtual void editorShown() { }
    virtual bool canEditShow() const;

    // Mouse handling in three steps: press (with the double-click flag), move and release.
    virtual void mouseDown(
        Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos, bool isDouble);
    virtual void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, const QPoint &pos);
    virtual void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos);
    virtual bool doMouseWheel(int steps, Qt::KeyboardModifiers shift);

    // Moves the current cell and shows it; false when SelectCell refused.
    bool focusCell(int col, int row, bool moveAnchor);
    void clampInView(int col, int row);
    void invalidateCell(int col, int row);
    bool isSizingColumns() const { return m_sizingCol >= 0; }
    bool isMovingColumn() const { return m_movingCol >= 0; }
    // Rows covered by the selection rectangle, anchor included.
    QPoint selectionAnchor() const { return m_anchor; }

    // SortGridCore screen hooks.
    void screenBeginUpdate() override;
    void screenEndUpdate() override;
    void showMessage(const QString &text) override;
    void layoutChanged() override;
    void updateScrollBars() override;
    void scrollIntoView(int col, int row) override;
    void invalidateRow(int row) override;
    void invalidateGrid() override;
    void currentCellMoved(int oldCol, int oldRow) override;

    // Qt events.
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;

    virtual void updateScrollRanges();
    void placeEditor();
    bool inputBlocked() const { return m_inputBlocked; }
    // The key and character phases of one key press, shared with the editor.
    void handleKeyPress(QKeyEvent *event);

private:
    void drawGridLines(QPainter &painter, int col, int row, const QRect &rect) const;
    void onFocusChanged(QWidget *old, QWidget *now);
    void onScrollAction(QScrollBar *bar, int action);
    void extendSelection(int col, int row);

    GridOptions m_options
        = GridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    ScrollStyle m_scrollBars = ssBoth;
    int m_topRow = 1;
    int m_leftCol = 0;
    bool m_editorMode = false;
    CellEditor *m_editor = nullptr;
    QPoint m_editorCell { -1, -1 };
    QPoint m_anchor { 0, 1 };
    bool m_focusWithin = false;
    bool m_inputBlocked = false;
    std::unique_ptr<BusyCursor> m_busyCursor;
    int m_sizingCol = -1;
    int m_sizingStartX = 0;
    int m_sizingStartWidth = 0;
    int m_movingCol = -1;
    int m_movingTarget = -1;
    bool m_rangeDragging = false;
    int m_wheelRemainder = 0;
    bool m_syncingScrollBars = false;
    QMetaObject::Connection m_focusConnection;
};
