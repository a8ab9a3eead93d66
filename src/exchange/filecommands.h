#pragma once

#include "exchange/filedialog.h"

#include <QString>

#include <functional>

class QWidget;
class ResultTable;
class SortGridCore;

// The open and save commands of the main window, with their two dialogs. The main
// window owns one, fills in the hooks and calls sbLoadClick / sbSaveClick from the
// buttons and from Ctrl+O / Ctrl+S. Every failure ends the command in the standard
// error box; nothing is thrown out of the two handlers.
class FileCommands
{
public:
    // Which reader an open uses, by the chosen filter entry and the name's extension.
    enum class Reader
    {
        Text,
        Workbook,
        None
    };
    static Reader chooseReader(int filterIndex, const QString &fileName);

    // Which format a save writes: a name ending in ".txt", ".xls" or ".xlsx" (any case)
    // decides, else the chosen filter entry of the save dialog.
    enum class Writer
    {
        Text,
        Xls,
        Xlsx
    };
    static Writer chooseWriter(int filterIndex, const QString &fileName);

    // The folder the save dialog proposes: the folder of the last successful save of
    // this run; before that the opened file's folder when it is writable, else the
    // documents folder.
    static QString saveFolder(const QString &lastSaveFolder, const QString &openedFile);

    // The name's extension with its dot ("" when it has none).
    static QString fileExtension(const QString &fileName);
    // The name without its extension.
    static QString withoutExtension(const QString &fileName);

    FileCommands(
        SortGridCore &grid, ResultTable &table, const QString &programFolder, QWidget *parent = nullptr);

    // Runs after a file has replaced the table's rows.
    std::function<void()> UpdateSaveButtons;
    // Sets the caption of the table's tab (TabSheet1).
    std::function<void(const QString &caption)> setTabCaption;

    void sbLoadClick();
    void sbSaveClick();

    FileDialog OpenDialog1 { FileDialog::Kind::Open };
    FileDialog SaveDialog1 { FileDialog::Kind::Save };

private:
    void load();
    void save();
    void noteFolder(const QString &fileName);
    void showNote(const QString &note);

    SortGridCore &m_grid;
    ResultTable &m_table;
    QWidget *m_parent;
    QString m_lastFolder;
    QString m_lastSaveFolder;
};
