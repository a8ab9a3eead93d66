#include "exchange/filedialog.h"

#include "platform/messagebox.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

namespace {

FileDialog::Driver g_driver;

} // namespace

// Qt's own overwrite question cannot be answered by the program's message box seam,
// so the dialog asks through it instead.
class ConfirmingFileDialog : public QFileDialog
{
public:
    using Completion = std::function<QString(const QFileDialog &dialog, const QString &name)>;

    ConfirmingFileDialog(QWidget *parent, bool askBeforeReplacing)
        : QFileDialog(parent)
        , m_askBeforeReplacing(askBeforeReplacing)
    { }

    // complete gives the name a save would write for the name the dialog holds.
    void askBeforeReplacing(bool ask, Completion complete)
    {
        m_askBeforeReplacing = ask;
        m_complete = std::move(complete);
    }

    // After a use: the completer's list of the name field is a popup window of its own
    // that hiding the dialog leaves open, and an open popup takes every key of the
    // program (the main window's shortcuts too).
    void putAway()
    {
        askBeforeReplacing(false, {});
        if (auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
            if (QCompleter *completer = name->completer())
                completer->popup()->hide();
        }
    }

    void accept() override
    {
        if (m_askBeforeReplacing) {
            const QStringList files = selectedFiles();
            const QFileInfo info(m_complete ? m_complete(*this, files.value(0)) : files.value(0));
            if (files.size() == 1 && info.exists() && !info.isDir()) {
                const QString question = QStringLiteral("%1 already exists.\nDo you want to replace it?");
                if (MessageBox::askYesNo(windowTitle(), question.arg(info.fileName()), this)
                    != QMessageBox::Yes)
                    return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool m_askBeforeReplacing;
    Completion m_complete;
};

QList<FileDialog::FilterEntry> FileDialog::parseFilter(const QString &filter)
{
    QList<FilterEntry> entries;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append(FilterEntry { parts[i], parts[i + 1].split(u';', Qt::SkipEmptyParts) });
    return entries;
}

QString FileDialog::extensionFor(int filterIndex) const
{
    const QList<FilterEntry> entries = parseFilter(Filter);
    if (filterIndex >= 1 && filterIndex <= entries.size()) {
        const QStringList &patterns = entries[filterIndex - 1].patterns;
        const QString extension = patterns.value(0).mid(2);
        if (patterns.size() == 1 && patterns.first().startsWith(u"*.") && !extension.isEmpty()
            && !extension.contains(u'*') && !extension.contains(u'?'))
            return extension;
    }
    return DefaultExt;
}

QString FileDialog::completedName(const QString &fileName, int filterIndex) const
{
    if (fileName.isEmpty() || QFileInfo(fileName).fileName().isEmpty())
        return fileName;
    for (const FilterEntry &entry : parseFilter(Filter)) {
        for (const QString &pattern : entry.patterns) {
            if (pattern.startsWith(u"*.") && fileName.endsWith(pattern.mid(1), Qt::CaseInsensitive))
                return fileName;
        }
    }
    const QString extension = extensionFor(filterIndex);
    if (extension.isEmpty())
        return fileName;
    // "ergebnis." asks for the extension without a second dot.
    return fileName.endsWith(u'.') ? fileName + extension : fileName + u'.' + extension;
}

FileDialog::~FileDialog()
{
    delete m_dialog.data();
}

std::optional<QString> FileDialog::Execute(QWidget *parent, const QString &lastFolder)
{
    const bool saving = m_kind == Kind::Save;
    // Qt's dialog is made on first use and kept: building it costs more than many a
    // command it serves, and tearing it down writes Qt's own settings file. Every use
    // sets all that an earlier one may have left: mode, entries, the entry chosen, the
    // extension, folder, name and the list's selection.
    if (m_dialog && m_dialog->parentWidget() != parent)
        delete m_dialog.data();
    if (!m_dialog)
        m_dialog = new ConfirmingFileDialog(parent, saving);
    ConfirmingFileDialog &dialog = *m_dialog;
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);

    const QList<FilterEntry> entries = parseFilter(Filter);
    QStringList descriptions;
    for (const FilterEntry &entry : entries)
        descriptions.append(entry.description);
    dialog.askBeforeReplacing(
        saving, [this, saving, descriptions](const QFileDialog &shown, const QString &name) {
            return saving ? completedName(name, int(descriptions.indexOf(shown.selectedNameFilter())) + 1)
                          : name;
        });
    dialog.setNameFilters(descriptions);

    // Qt reads the patterns out of the description and knows no ";" between them, so
    // the file list gets the entry's patterns directly, after Qt has set its own.
    auto *files = dialog.findChild<QFileSystemModel *>();
    const auto useEntry = [&, files](int index) {
        if (index < 1 || index > entries.size())
            return;
        if (files)
            files->setNameFilters(entries[index - 1].patterns);
        dialog.setDefaultSuffix(extensionFor(index));
    };
    const QMetaObject::Connection entryChosen = QObject::connect(&dialog, &QFileDialog::filterSelected,
        &dialog, [&](const QString &description) { useEntry(int(descriptions.indexOf(description)) + 1); });
    const QPointer<ConfirmingFileDialog> kept(&dialog);
    const auto forget = qScopeGuard([&] {
        QObject::disconnect(entryChosen);
        if (kept)
            kept->putAway();
    });
    const int preselected = FilterIndex >= 1 && FilterIndex <= entries.size() ? FilterIndex : 1;
    if (!entries.isEmpty())
        dialog.selectNameFilter(descriptions[preselected - 1]);
    useEntry(preselected);

    QString folder;
    QString proposedName;
    if (!FileName.isEmpty()) {
        const QFileInfo proposed(FileName);
        if (FileName.contains(u'/'))
            folder = proposed.absolutePath();
        proposedName = proposed.fileName();
    }
    if (folder.isEmpty())
        folder = !InitialDir.isEmpty() ? InitialDir : lastFolder;
    if (folder.isEmpty())
        folder = QDir::currentPath();
    dialog.setDirectory(folder);
    // Nothing chosen or typed in an earlier use stays.
    if (auto *list = dialog.findChild<QAbstractItemView *>(QStringLiteral("listView")))
        list->clearSelection();
    if (auto *tree = dialog.findChild<QAbstractItemView *>(QStringLiteral("treeView")))
        tree->clearSelection();
    if (auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->clear();
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);

    if (g_driver) {
        const Driver driver = g_driver;
        QTimer::singleShot(0, &dialog, [driver, kept] {
            if (kept)
                driver(*kept);
        });
    }
    // The parent, and the dialog with it, may go while it is shown.
    if (dialog.exec() != QDialog::Accepted || !kept)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    const qsizetype entry = descriptions.indexOf(dialog.selectedNameFilter());
    if (entry >= 0)
        FilterIndex = int(entry) + 1;
    return saving ? completedName(chosen.first(), FilterIndex) : chosen.first();
}

void FileDialog::setDriverForTests(Driver driver)
{
    g_driver = std::move(driver);
}
