#include "exchange/filecommands.h"

#include "exchange/textresultfile.h"
#include "exchange/workbookreader.h"
#include "exchange/workbookwriter.h"
#include "grid/sortgridcore.h"
#include "platform/busycursor.h"
#include "platform/commanderror.h"
#include "platform/guarded.h"
#include "platform/messagebox.h"
#include "scoring/resulttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

#include <fcntl.h>
#include <unistd.h>

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

FileCommands::Writer FileCommands::chooseWriter(int filterIndex, const QString &fileName)
{
    const QString extension = fileExtension(fileName).toUpper();
    if (extension == u".TXT")
        return Writer::Text;
    if (extension == u".XLS")
        return Writer::Xls;
    if (extension == u".XLSX")
        return Writer::Xlsx;
    if (filterIndex == kWorkbookEntryOfSave)
        return Writer::Xls;
    return filterIndex == kXlsxEntryOfSave ? Writer::Xlsx : Writer::Text;
}

QString FileCommands::saveFolder(const QString &lastSaveFolder, const QString &openedFile)
{
    if (!lastSaveFolder.isEmpty())
        return lastSaveFolder;
    if (!openedFile.isEmpty()) {
        const QFileInfo folder(QFileInfo(openedFile).absolutePath());
        // As the process's effective rights have it: access() would ask for the real user's.
        if (folder.isDir()
            && ::faccessat(
                   AT_FDCWD, QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK, AT_EACCESS)
                == 0)
            return folder.absoluteFilePath();
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
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
    std::optional<BusyCursor> busy(std::in_place);
    QString note;

    const Reader reader = chooseReader(OpenDialog1.FilterIndex, fileName);
    switch (reader) {
    case Reader::Text:
        // A file that cannot be read ends the command here: table, caption and
        // proposed name stay as they were.
        LoadTextFile(m_grid, fileName, m_table.openedRowReader());
        if (setTabCaption)
            setTabCaption(withoutExtension(QFileInfo(fileName).fileName()));
        if (UpdateSaveButtons)
            UpdateSaveButtons();
        break;
    case Reader::Workbook: {
        // A failure ends the command here, before the table changes.
        const WorkbookLoad loaded = ::LoadWorkbook(m_grid, fileName);
        note = loaded.note(m_table.judgeCount());
        if (setTabCaption)
            setTabCaption(withoutExtension(QFileInfo(fileName).fileName()));
        if (UpdateSaveButtons)
            UpdateSaveButtons();
        break;
    }
    case Reader::None:
        m_table.AssignPlaces();
        break;
    }
    if (reader != Reader::None)
        m_table.placeOpenedTable();
    SaveDialog1.FileName = withoutExtension(fileName);
    busy.reset();
    // What the operator must know about the file comes after the open, over the new table.
    if (!note.isEmpty())
        showNote(note);
}

void FileCommands::showNote(const QString &note)
{
    MessageBox::showInformation(note, m_parent);
}

void FileCommands::save()
{
    // The opened file's name, proposed in the folder of the last save (see saveFolder);
    // the field keeps the opened file's path for the next save and for recovery.
    const QString opened = SaveDialog1.FileName;
    if (!opened.isEmpty())
        SaveDialog1.FileName = saveFolder(m_lastSaveFolder, opened) + u'/' + QFileInfo(opened).fileName();
    std::optional<QString> chosen;
    try {
        chosen = SaveDialog1.Execute(m_parent, m_lastFolder);
    } catch (...) {
        SaveDialog1.FileName = opened;
        throw;
    }
    SaveDialog1.FileName = opened;
    if (!chosen)
        return;
    const QString fileName = *chosen;
    noteFolder(fileName);
    BusyCursor busy;

    // The save dialog's initial folder is never set, so later opens start where the
    // platform's dialog chooses rather than in the program's folder.
    OpenDialog1.InitialDir = SaveDialog1.InitialDir;
    // The typed extension chooses the format; without one, the entry (whose extension
    // the dialog has appended).
    switch (chooseWriter(SaveDialog1.FilterIndex, fileName)) {
    case Writer::Xls:
        SaveWorkbook(m_grid, fileName, WorkbookFormat::Xls);
        break;
    case Writer::Xlsx:
        SaveWorkbook(m_grid, fileName, WorkbookFormat::Xlsx);
        break;
    case Writer::Text:
        SaveTextFile(m_grid, fileName);
        break;
    }
    m_lastSaveFolder = QFileInfo(fileName).absolutePath();
    m_table.markSaved();
}
