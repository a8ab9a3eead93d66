#pragma once

#include "grid/gridbase.h"
#include "grid/gridgeometry.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QListWidget;
class QMenu;
class QMimeData;
class QPrinter;
class PrinterProvider;
class TSortGrid;

// The per-cell format that OnGetCellFormat may change before a cell is drawn.
struct TFormatOptions
{
    QBrush Brush; // its colour is the cell background
    QFont Font;
    QColor FontColor;
    TAlignment AlignmentHorz = taLeftJustify;
    TVertAlignment AlignmentVert = taTopJustify;
    TCellBevelStyle BevelStyle = cbNone;
    QColor LightLineColor;
    QColor DarkLineColor;
    bool SuppressText = false;
};

enum TMyPrintRange
{
    prAll,
    prSelected
};

struct TPrintOptions
{
    QString JobTitle;
    QString PageTitle;
    int Copies = 0;
    TMyPrintRange PrintRange = prAll;
    int FromRow = 0;
    int ToRow = 0;
    int PreviewPage = 0;
};

// The sortable string grid: the row store and sort engine of SortGridCore drawn
// and operated on the grid base. Events are optional; each receives the grid first
// and may change what it gets by reference. The events of the row store
// (OnSelectCell, OnRowSelected, OnModified, OnSizeChanged, OnEndUpdate, the sort
// notifications) are inherited from SortGridCore and carry the grid as SortGridCore.
class TSortGrid : public GridBase
{
public:
    using TNotifyEvent = std::function<void(TSortGrid *sender)>;
    using TKeyEvent = std::function<void(TSortGrid *sender, int &key, Qt::KeyboardModifiers shift)>;
    using TKeyPressEvent = std::function<void(TSortGrid *sender, QChar &key)>;
    using TDrawCellEvent = std::function<void(
        TSortGrid *sender, int col, int row, const QRect &rect, TGridDrawState state, QPainter &canvas)>;
    using TFormatDrawCellEvent = std::function<void(TSortGrid *sender, int col, int row, TGridDrawState state,
        TFormatOptions &formatOptions, bool &checkBox, bool &combobox, bool &ellipsis)>;
    using TSetFilterEvent = std::function<void(TSortGrid *sender, const QStringList &rowTexts, bool &accept)>;
    using TUpdateGridEvent = std::function<void(TSortGrid *sender, int index)>;
    using TCellValidateEvent = std::function<void(
        TSortGrid *sender, int col, int row, const QString &oldValue, QString &newValue, bool &valid)>;
    using TSetChecked = std::function<void(TSortGrid *sender, int col, int row, bool state)>;
    using TGetCombobox = std::function<void(
        TSortGrid *sender, int col, int row, QStringList &strs, int &width, int &height, bool &sorted)>;
    using TSetCombobox = std::function<void(TSortGrid *sender, int col, int row, const QString &str)>;
    using TSetEllipsis = std::function<void(TSortGrid *sender, int col, int row)>;
    using TStartDragEvent = std::function<void(TSortGrid *sender, QMimeData *&data)>;

    explicit TSortGrid(QWidget *parent = nullptr);
    ~TSortGrid() override;

    // A font by its family name ("Courier", "Arial") at a character height in pixels.
    static QFont gridFont(const QString &family, int pixelHeight);

    // Properties; setters repaint only when the value changes.
    QMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu *menu) { m_popupMenu = menu; }
    TPrintOptions &PrintOptions() { return m_printOptions; }
    const TPrintOptions &PrintOptions() const { return m_printOptions; }
    bool HideRows() const { return m_hideRows; }
    void setHideRows(bool on);
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool on);
    bool MultiSelect() const { return m_multiSelect; }
    void setMultiSelect(bool on);
    const QStringList &UserSettings() const { return m_userSettings; }
    void setUserSettings(const QStringList &settings);
    TAlignment AlignmentHorz() const { return m_alignmentHorz; }
    void setAlignmentHorz(TAlignment alignment);
    TVertAlignment AlignmentVert() const { return m_alignmentVert; }
    void setAlignmentVert(TVertAlignment alignment);
    TCellBevelStyle BevelStyle() const { return m_bevelStyle; }
    void setBevelStyle(TCellBevelStyle style);
    bool ProportionalScrollBars() const { return m_proportionalScrollBars; }
    void setProportionalScrollBars(bool on);
    bool ExtendedKeys() const { return m_extendedKeys; }
    void setExtendedKeys(bool on) { m_extendedKeys = on; }

    // Operations.
    void AutoSizeColumn(int col, bool force);
    void GoToCell(int col, int row, bool scroll);
    void ScrollToCell(int col, int row);
    void InsertGridRow(int row);
    void DeleteGridRow(int row);
    void InsertGridColumn(int col);
    void DeleteGridColumn(int col);
    bool ShowCellList(int col, int row);
    void HideCellList();
    QListWidget *CellList() const { return m_cellList; }
    void ToggleCheckBox(int col, int row);
    // The cell's format as drawing would see it (OnGetCellFormat included).
    TFormatOptions CellFormat(
        int col, int row, bool *checkBox = nullptr, bool *combobox = nullptr, bool *ellipsis = nullptr) const;

    // The print command: "No Printer is installed" when there is none, else the rows
    // FromRow..ToRow on the printer that the provider gives. Without a printer, the box
    // also offers "Als PDF speichern..." when askPdfFileName is set.
    void Print();
    // Prints on a given printer (a PDF file, for example), without the printer check.
    void PrintTo(QPrinter &printer);
    // The same printout as a PDF file; an earlier file stays when it cannot be written
    // (a CommandError says why).
    void PrintToPdf(const QString &fileName);
    // Asks where the PDF printout goes; nothing when the operator cancels. The grid knows
    // no file dialogs: the window that owns it sets this.
    std::function<std::optional<QString>()> askPdfFileName;
    void setPrinterProvider(std::shared_ptr<PrinterProvider> provider);

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    // After the grid's own resize handling (the last-column stretch) has run.
    TNotifyEvent OnResize;
    TDrawCellEvent OnDrawCell;
    TFormatDrawCellEvent OnGetCellFormat;
    TNotifyEvent OnColumnWidthsChanged;
    TNotifyEvent OnRowHeightsChanged;
    TSetFilterEvent OnSetFilter;
    TUpdateGridEvent OnRowInsert;
    TUpdateGridEvent OnRowDelete;
    TUpdateGridEvent OnColumnInsert;
    TUpdateGridEvent OnColumnDelete;
    TCellValidateEvent OnCellValidate;
    TSetChecked OnSetChecked;
    TGetCombobox OnGetComboBox;
    TSetCombobox OnSetComboBox;
    TSetEllipsis OnSetEllipsis;
    TStartDragEvent OnStartDrag;

    void keyDown(int &key, Qt::KeyboardModifiers shift) override;
    void keyPress(QChar &key) override;
    void keyUp(int &key, Qt::KeyboardModifiers shift) override;

protected:
    void drawCell(QPainter &painter, int col, int row, const QRect &rect, TGridDrawState state,
        CellCanvas &canvas) override;
    bool SelectCell(int col, int row) override;
    void doKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    void doKeyPress(QChar &key) override;
    void doKeyUp(int &key, Qt::KeyboardModifiers shift) override;
    void dblClick() override;
    void click() override;
    void doEnter() override;
    void doExit() override;
    void columnMoved(int fromCol, int toCol) override;
    void moveColumnByDrag(int fromCol, int toCol) override;
    void colWidthsChangedByUser() override;
    void colWidthsChanged() override;
    void rowHeightsChanged() override;
    void editorShown() override;
    QPoint mouseCell(const QPoint &pos) const override;
    void mouseDown(
        Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos, bool isDouble) override;
    void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, const QPoint &pos) override;
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint &pos) override;
    bool doMouseWheel(int steps, Qt::KeyboardModifiers shift) override;
    void updateScrollRanges() override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void makeImages();
    // The format of a cell drawn on the given canvas, after OnGetCellFormat; drawing and
    // CellFormat both take it from here.
    TFormatOptions formatCell(int col, int row, TGridDrawState state, const CellCanvas &canvas,
        bool &checkBox, bool &combobox, bool &ellipsis) const;
    // Whether a shown cell's text is cut off (a header shortened to "..").
    bool cellTextClipped(int col, int row) const;
    void validateCell();
    void rememberCell();
    void selectRowsOfSelection();
    void selectSingleRow(int row);
    bool isRowSelected(int row) const;
    void applyCellList();
    template <class Function> void withoutAlwaysShowEditor(Function &&function);

    QMenu *m_popupMenu = nullptr;
    TPrintOptions m_printOptions;
    bool m_hideRows = false;
    bool m_filtered = false;
    bool m_multiSelect = false;
    QStringList m_userSettings;
    TAlignment m_alignmentHorz = taLeftJustify;
    TVertAlignment m_alignmentVert = taTopJustify;
    TCellBevelStyle m_bevelStyle = cbNone;
    bool m_proportionalScrollBars = false;
    bool m_extendedKeys = false;

    struct RememberedCell
    {
        bool active = false;
        int col = 0;
        int row = 0;
        QString text;
        bool modified = false;
    };
    RememberedCell m_remembered;
    QPoint m_pressCell { -1, -1 };
    bool m_pressOnBorder = false;
    std::optional<QPoint> m_dragStart;
    bool m_ignoreMouseUp = false;
    bool m_tabDown = false;
    QListWidget *m_cellList = nullptr;
    QPoint m_listCell { -1, -1 };
    std::shared_ptr<PrinterProvider> m_printerProvider;

    QPixmap m_arrowUp;
    QPixmap m_arrowDown;
    QPixmap m_boxChecked;
    QPixmap m_boxUnchecked;
    QPixmap m_dropDownButton;
    QPixmap m_ellipsisButton;
};
