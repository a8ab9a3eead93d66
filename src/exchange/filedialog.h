#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ConfirmingFileDialog;
class QFileDialog;
class QWidget;

// What an open or save dialog keeps between uses: its filter entries, the entry
// chosen last, the default extension, the initial folder and a proposed name. Each
// use shows Qt's own dialog rather than the desktop's, so that it behaves the same
// everywhere and tests can drive it; that dialog is made on first use and kept.
class FileDialog
{
public:
    enum class Kind
    {
        Open,
        Save
    };

    struct FilterEntry
    {
        QString description;
        QStringList patterns;
    };

    explicit FileDialog(Kind kind)
        : m_kind(kind)
    { }
    ~FileDialog();
    FileDialog(const FileDialog &) = delete;
    FileDialog &operator=(const FileDialog &) = delete;

    // "description|patterns|description|patterns...", patterns separated by ";".
    QString Filter;
    // 1-based; the entry preselected, and after each accepted use the entry chosen.
    int FilterIndex = 1;
    // Without the dot. A name typed without extension gets the chosen entry's own
    // extension when the entry has exactly one, else this one.
    QString DefaultExt;
    QString InitialDir;
    // The proposed name; when it has a folder, the dialog starts there.
    QString FileName;

    // Shows the dialog and returns the chosen file, or nothing when cancelled. It
    // starts in FileName's folder, else InitialDir, else lastFolder (the folder the
    // program's dialogs used last), else the working folder. An open dialog accepts
    // only existing files; a save dialog completes the name (completedName) and asks
    // before replacing a file of that name.
    std::optional<QString> Execute(QWidget *parent, const QString &lastFolder);

    Kind kind() const { return m_kind; }

    static QList<FilterEntry> parseFilter(const QString &filter);
    // The extension a name without one gets when the given entry (1-based) is chosen.
    QString extensionFor(int filterIndex) const;
    // A saved file's name as the dialog returns it: a name that ends in the extension
    // of one of the entries (any case) stays as typed; any other gets the extension of
    // the given entry appended, also when it holds other dots ("Turnier 12.03.2024").
    QString completedName(const QString &fileName, int filterIndex) const;

    // Test seam: runs with the real dialog as soon as it is shown, to type and accept.
    using Driver = std::function<void(QFileDialog &dialog)>;
    static void setDriverForTests(Driver driver);

private:
    Kind m_kind;
    // Qt's dialog, made on first use and kept while its parent lives.
    QPointer<ConfirmingFileDialog> m_dialog;
};
