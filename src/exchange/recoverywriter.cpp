#include "exchange/recoverywriter.h"

#include "exchange/textresultfile.h"
#include "grid/sortgridcore.h"
#include "platform/commanderror.h"
#include "platform/fileio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString RecoveryWriter::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/recovery");
}

RecoveryWriter::Lock::Lock() = default;
RecoveryWriter::Lock::Lock(Lock &&) noexcept = default;
RecoveryWriter::Lock &RecoveryWriter::Lock::operator=(Lock &&) noexcept = default;
RecoveryWriter::Lock::~Lock() = default;

RecoveryWriter::Lock RecoveryWriter::takeLock(const QString &folder)
{
    Lock lock;
    lock.folder = QDir(folder).absolutePath();
    if (!QDir().mkpath(lock.folder))
        return lock;
    lock.file = std::make_unique<QLockFile>(lock.folder + QStringLiteral("/recovery.lock"));
    // Only a holder that is gone frees the lock, however long the session has run.
    lock.file->setStaleLockTime(0);
    lock.owned = lock.file->tryLock(0);
    return lock;
}

RecoveryWriter::RecoveryWriter(const QString &folder, QObject *parent)
    : RecoveryWriter(takeLock(folder), parent)
{ }

RecoveryWriter::RecoveryWriter(Lock lock, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(lock.folder))
    , m_path(m_folder + QStringLiteral("/recovery.dat"))
    , m_lock(std::move(lock.file))
    , m_ownsLock(lock.owned)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDefaultInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_dirty) {
            writeNow();
            m_timer.start();
        }
    });
}

RecoveryWriter::~RecoveryWriter()
{
    m_timer.stop();
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
}

bool RecoveryWriter::recoveryAvailable() const
{
    const QFileInfo info(m_path);
    return m_ownsLock && (info.exists() || info.isSymLink());
}

RecoveryFile::Decoded RecoveryWriter::load() const
{
    if (!m_ownsLock)
        return { std::nullopt,
            QStringLiteral("Wiederherstellungsdatei gehört einem anderen laufenden Programm") };
    return RecoveryFile::read(m_path);
}

RecoveryWriter::SetAside RecoveryWriter::moveAside(const QDateTime &when)
{
    SetAside result;
    if (!recoveryAvailable()) {
        result.error = QStringLiteral("keine Wiederherstellungsdatei");
        return result;
    }
    waitIdle();
    const RecoveryFile::Decoded decoded = RecoveryFile::read(m_path);

    const QString stamp = when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString suffix;
    for (int n = 2;
         QFileInfo::exists(m_folder + QStringLiteral("/recovery-") + stamp + suffix + QStringLiteral(".dat"))
         || QFileInfo::exists(
             m_folder + QStringLiteral("/recovered-") + stamp + suffix + QStringLiteral(".txt"));
         ++n)
        suffix = u'-' + QString::number(n);
    const QString dataFile
        = m_folder + QStringLiteral("/recovery-") + stamp + suffix + QStringLiteral(".dat");
    const QString textFile
        = m_folder + QStringLiteral("/recovered-") + stamp + suffix + QStringLiteral(".txt");

    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(dataFile).constData()) != 0) {
        result.error = FileIo::errorText(errno, m_path);
        return result;
    }
    syncFolder(m_folder);
    result.dataFile = dataFile;

    if (!decoded.snapshot) {
        result.error = decoded.error;
        return result;
    }
    SortGridCore scratch;
    restoreRecoverySnapshot(*decoded.snapshot, scratch);
    try {
        SaveTextFile(scratch, textFile);
        result.textFile = textFile;
    } catch (const CommandError &error) {
        result.error = error.text();
    }
    return result;
}

void RecoveryWriter::remove()
{
    m_ended = true;
    m_dirty = false;
    m_timer.stop();
    {
        std::lock_guard lock(m_mutex);
        m_pending.reset();
    }
    waitIdle();
    if (m_ownsLock && QFile::remove(m_path))
        syncFolder(m_folder);
}

void RecoveryWriter::changed()
{
    if (!m_ownsLock || m_ended || !m_source)
        return;
    m_dirty = true;
    if (!m_timer.isActive()) {
        writeNow();
        m_timer.start();
    }
}

void RecoveryWriter::flush()
{
    if (m_dirty)
        writeNow();
    waitIdle();
}

QString RecoveryWriter::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void RecoveryWriter::writeNow()
{
    m_dirty = false;
    const Source source = m_source();
    if (source.grid)
        handOver(RecoveryFile::encodeUnsealed(
            *source.grid, source.judgeCount, source.tabCaption, source.fileName));
}

void RecoveryWriter::handOver(QByteArray unsealed)
{
    {
        std::lock_guard lock(m_mutex);
        // A write still waiting for the disk is overtaken: only the newest table counts.
        m_pending = std::move(unsealed);
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_wake.notify_one();
}

void RecoveryWriter::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_pending && !m_busy; });
}

void RecoveryWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_pending || m_quit; });
        if (!m_pending)
            break;
        QByteArray file = std::move(*m_pending);
        m_pending.reset();
        m_busy = true;
        lock.unlock();

        QString error;
        try {
            RecoveryFile::seal(file);
            FileIo::writeFileAtomically(m_path, file);
        } catch (const std::exception &failure) {
            // Nothing may leave the thread; a CommandError carries the runtime's text.
            error = QString::fromStdString(failure.what());
        }

        lock.lock();
        m_busy = false;
        m_lastError = error;
        ++m_writes;
        m_idle.notify_all();
        if (!error.isEmpty())
            QMetaObject::invokeMethod(
                this, [this, error] { emit writeFailed(error); }, Qt::QueuedConnection);
    }
}
