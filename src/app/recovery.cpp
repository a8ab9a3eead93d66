#include "app/recovery.h"

#include "app/mainwindow.h"
#include "dialogs/dlgyesno.h"
#include "exchange/filecommands.h"
#include "grid/sortgrid.h"

#include <QApplication>
#include <QEvent>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

QString SessionRecovery::question()
{
    return QStringLiteral(
        "Die letzte Sitzung wurde nicht ordnungsgemäß beendet. Ergebnisse wiederherstellen?");
}

SessionRecovery::SessionRecovery(TForm1 &form, RecoveryWriter::Lock lock)
    : m_form(form)
    , m_writer(std::move(lock))
{
    m_holding = m_writer.recoveryAvailable();
    m_writer.setSource([this] {
        QTabWidget *tabs = m_form.PageControl1;
        return RecoveryWriter::Source { m_form.SortGrid1, m_form.JudgeCount(),
            tabs->tabText(tabs->indexOf(m_form.TabSheet1)), m_form.fileCommands().SaveDialog1.FileName };
    });
    // Every cell the operator changes goes through the modified flag; every placing,
    // load and header click ends in a sort.
    TSortGrid *grid = m_form.SortGrid1;
    grid->OnModified = [this](SortGridCore *) { changed(); };
    grid->OnSortFinished = [this](SortGridCore *, int) { changed(); };
    // Each window a modal dialog blocks hears of it before the dialog shows: one place
    // for the file dialogs, message boxes, the settings and the yes/no dialog alike.
    qApp->installEventFilter(this);
}

SessionRecovery::~SessionRecovery()
{
    // An end without the closing question (a test, a quit from outside) keeps the table
    // recoverable, with its last change.
    if (!m_off && !m_holding) {
        takeChange();
        m_writer.flush();
    }
    m_form.SortGrid1->OnModified = nullptr;
    m_form.SortGrid1->OnSortFinished = nullptr;
}

void SessionRecovery::changed()
{
    if (m_off)
        return;
    if (m_holding) {
        m_changedWhileHolding = true;
        return;
    }
    if (m_changeQueued)
        return;
    m_changeQueued = true;
    // Taken from a timer, which fires after the posted events, the repaint among them: the
    // operator sees a placing before the table is turned into the file's bytes. A modal
    // dialog and the end take a change still waiting at once.
    QTimer::singleShot(1, Qt::PreciseTimer, this, &SessionRecovery::takeChange);
}

void SessionRecovery::takeChange()
{
    if (!m_changeQueued)
        return;
    m_changeQueued = false;
    if (!m_off)
        m_writer.changed();
}

void SessionRecovery::remove()
{
    m_off = true;
    if (!m_holding)
        m_writer.remove();
}

void SessionRecovery::keep()
{
    if (!m_off && !m_holding) {
        takeChange();
        m_writer.flush();
    }
    m_off = true;
}

bool SessionRecovery::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowBlocked && !m_off && !m_holding) {
        takeChange();
        m_writer.flush();
    }
    return QObject::eventFilter(watched, event);
}

void SessionRecovery::offerRestore()
{
    if (!m_holding)
        return;
    const RecoveryFile::Decoded decoded = m_writer.load();
    const bool fits = decoded.snapshot && decoded.snapshot->columnCount == ResultTable::kColumnCount
        && decoded.snapshot->rowCount >= 2;
    if (!fits) {
        setAside();
        return;
    }
    TFDlgYesNo &dialog = *m_form.FDlgYesNo();
    dialog.SetQuestion(question());
    if (dialog.exec() == TFDlgYesNo::kYes)
        restore(*decoded.snapshot);
    else
        setAside();
}

void SessionRecovery::setAside()
{
    const RecoveryWriter::SetAside result = m_writer.moveAside();
    m_holding = false;
    // A file that stayed in place would be overwritten by the next change.
    if (result.dataFile.isEmpty())
        m_off = true;
    if (m_changedWhileHolding)
        changed();
}

void SessionRecovery::restore(const RecoverySnapshot &snapshot)
{
    m_holding = false;
    TSortGrid *grid = m_form.SortGrid1;
    grid->BeginUpdate();
    restoreRecoverySnapshot(snapshot, *grid);
    grid->EndUpdate();
    m_form.SetJudgeCount(std::clamp(snapshot.judgeCount, ResultTable::kMinJudges, ResultTable::kMaxJudges));
    FileCommands &files = m_form.fileCommands();
    if (files.setTabCaption)
        files.setTabCaption(snapshot.tabCaption);
    files.SaveDialog1.FileName = snapshot.fileName;
    m_form.table().placeRestoredTable();
    changed();
}
