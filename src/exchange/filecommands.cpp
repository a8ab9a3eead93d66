#include "exchange/filecommands.h"

#include "exchange/textresultfile.h"
#include "exchange/workbookreader.h"
#include "exchange/workbookwriter.h"
#include "grid/sortgridcore.h"
#include "platform/busycursor.h"
#include "platform/commanderror.h"
#include "platform/guarded.h"
#include "scoring/resulttable.h"

#include <QFileInfo>

namespace {

const QString kOpenFilter = QStringLiteral("All files (*.txt;*.xls;*.xlsx)|*.txt;*.xls;*.xlsx|Text file "
                                           "(*.txt)|*.txt|MS Excel (*.xls;*.xlsx)|*.xls;*.xlsx");
const QString kSaveFilter
    = QStringLiteral("Text file (*.txt)|*.txt|MS Excel (*.xls)|*.xls|Excel workbook (*.xlsx)|*.xlsx");
constexpr int kTextEntryOfOpen = 2;
constexpr int kWorkbookEntryOfOpen = 3;
constexpr int kWorkbookEntryOfSave = 2;
constexpr int kXlsxEntryOfSave = 3;

} // namespace

QString FileCommands::fileExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || dot < fileName.lastIndexOf(u'/'))
        return QString();
    return fileName.mid(dot);
}

QString FileCommands::withoutExtension(const QString &fileName)
{
    return fileName.left(fileName.size() - fileExtension(fileName).size());
}

FileCommands::Reader FileCommands::chooseReader(int filterIndex, const QString &fileName)
{
    // The text test comes first: "Text file" reads any file as text, and a ".txt"
    // name is text under every entry.
    const QString extension = fileExtension(fileName).toUpper();
    if (filterIndex == kTextEntryOfOpen || extension == u".TXT")
        return Reader::Text;
    if (filterIndex == kWorkbookEntryOfOpen || extension == u".XLS" || extension == u".XLSX")
        return Reader::Workbook;
    return Reader::None;
}

FileCommands::FileCommands(
    SortGridCore &grid, ResultTable &table, const QString &programFolder, QWidget *parent)
    : m_grid(grid)
    , m_table(table)
    , m_parent(parent)
{
    OpenDialog1.Filter = kOpenFilter;
    OpenDialog1.FilterIndex = 1;
    OpenDialog1.DefaultExt = QStringLiteral("txt");
    OpenDialog1.InitialDir = programFolder;
    SaveDialog1.Filter = kSaveFilter;
    SaveDialog1.FilterIndex = kWorkbookEntryOfSave;
    SaveDialog1.DefaultExt = QStringLiteral("xls");
}

void FileCommands::sbLoadClick()
{
    runGuarded([this] { load(); }, m_parent);
}

void FileCommands::sbSaveClick()
{
    runGuarded([this] { save(); }, m_parent);
}

void FileCommands::noteFolder(const QString &fileName)
{
    m_lastFolder = QFileInfo(fileName).absolutePath();
}

void FileCommands::load()
{
    const std::optional<QString> chosen = OpenDialog1.Execute(m_parent, m_lastFolder);
    if (!chosen)
        return;
    const QString fileName = *chosen;
    noteFolder(fileName);
    BusyCursor busy;

    const Reader reader = chooseReader(OpenDialog1.FilterIndex, fileName);
    switch (reader) {
    case Reader::Text:
        // A file that cannot be read ends the command here: table, caption and
        // proposed name stay as they were.
        LoadTextFile(m_grid, fileName);
        if (setTabCaption)
            setTabCaption(withoutExtension(QFileInfo(fileName).fileName()));
        if (UpdateSaveButtons)
            UpdateSaveButtons();
        break;
    case Reader::Workbook:
        // A failure ends the command here, before the table changes.
        ::LoadWorkbook(m_grid, fileName);
        if (setTabCaption)
            setTabCaption(withoutExtension(QFileInfo(fileName).fileName()));
        if (UpdateSaveButtons)
            UpdateSaveButtons();
        break;
    case Reader::None:
        m_table.AssignPlaces();
        break;
    }
    if (reader != Reader::None)
        m_table.placeOpenedTable();
    SaveDialog1.FileName = withoutExtension(fileName);
}

void FileCommands::save()
{
    const std::optional<QString> chosen = SaveDialog1.Execute(m_parent, m_lastFolder);
    if (!chosen)
        return;
    const QString fileName = *chosen;
    noteFolder(fileName);
    BusyCursor busy;

    // The save dialog's initial folder is never set, so later opens start where the
    // platform's dialog chooses rather than in the program's folder.
    OpenDialog1.InitialDir = SaveDialog1.InitialDir;
    // The entry alone chooses the format: "MS Excel" writes a workbook also under a ".txt" name.
    if (SaveDialog1.FilterIndex == kWorkbookEntryOfSave)
        SaveWorkbook(m_grid, fileName, WorkbookFormat::Xls);
    else if (SaveDialog1.FilterIndex == kXlsxEntryOfSave)
        SaveWorkbook(m_grid, fileName, WorkbookFormat::Xlsx);
    else
        SaveTextFile(m_grid, fileName);
    m_table.markSaved();
}
