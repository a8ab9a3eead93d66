// The special cells of the sortable grid: check boxes, the drop-down list of
// combobox cells and ellipsis buttons.
#include "grid/sortgrid.h"

#include <QKeyEvent>
#include <QListWidget>

#include <algorithm>

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
    const QRect cell = cellRect(col, row);
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
    return GridBase::eventFilter(watched, event);
}
