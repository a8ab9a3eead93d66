#pragma once

#include "exchange/recoveryfile.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QLockFile;

// Keeps the recovery file of this session current. The owner reports each change;
// the first change after a quiet spell is written at once, a burst after it at most
// once per interval. An fsync takes several milliseconds on an ordinary disk and now
// and then twenty, so the file is sealed and written on a thread of its own: the
// owner's thread only turns the table into bytes, which costs less than copying its texts
// would.
//
// A lock file beside the recovery file keeps a second running program away from
// it: that one neither writes nor offers a restore.
class RecoveryWriter : public QObject
{
    Q_OBJECT

public:
    // The table and what goes with it, as they are when a write is due.
    struct Source
    {
        const SortGridCore *grid = nullptr;
        int judgeCount = 0;
        QString tabCaption;
        QString fileName;
    };

    struct SetAside
    {
        QString dataFile; // the recovery file under its new name; empty when it could not move
        QString textFile; // a text protocol of it; empty when the file was unreadable
        QString error;
    };

    static constexpr int kDefaultInterval = 200;

    // <local application data>/recovery
    static QString defaultFolder();

    // The folder, made when needed, and its lock file, taken when no running program holds
    // it. Taking it syncs the lock file to the disk, so the main window takes it on a
    // thread of its own while it builds itself (any thread will do).
    struct Lock
    {
        Lock();
        Lock(Lock &&) noexcept;
        Lock &operator=(Lock &&) noexcept;
        ~Lock();

        QString folder;
        std::unique_ptr<QLockFile> file;
        bool owned = false;
    };
    static Lock takeLock(const QString &folder);

    // Creates the folder when needed and takes its lock.
    explicit RecoveryWriter(const QString &folder = defaultFolder(), QObject *parent = nullptr);
    explicit RecoveryWriter(Lock lock, QObject *parent = nullptr);
    // Writes what was handed over already; a change not yet taken is dropped, since
    // the table it lives in may be gone by now (call flush() first to keep it).
    ~RecoveryWriter() override;

    QString filePath() const { return m_path; }
    bool ownsLock() const { return m_ownsLock; }

    // A file left by an earlier session that this program may offer to restore.
    bool recoveryAvailable() const;
    RecoveryFile::Decoded load() const;
    // Renames the file to recovery-<stamp>.dat and writes recovered-<stamp>.txt beside
    // it, so that nothing the operator has not seen is lost; an unreadable file is
    // moved all the same.
    SetAside moveAside(const QDateTime &when = QDateTime::currentDateTime());
    // The normal end: no more writes, and the file goes.
    void remove();

    // Called on the owner's thread when a write is due.
    void setSource(std::function<Source()> source) { m_source = std::move(source); }
    void setInterval(int milliseconds) { m_timer.setInterval(milliseconds); }
    // The table changed.
    void changed();
    // Writes a pending change now and waits until it is on the disk.
    void flush();

    // Writes finished so far, failed ones included.
    int writeCount() const { return m_writes.load(); }
    QString lastError() const;

signals:
    void writeFailed(const QString &text);

private:
    void writeNow();
    void handOver(QByteArray unsealed);
    void waitIdle();
    void run();

    QString m_folder;
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_ownsLock = false;
    bool m_ended = false;
    bool m_dirty = false;
    std::function<Source()> m_source;
    QTimer m_timer;

    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<QByteArray> m_pending;
    bool m_busy = false;
    bool m_quit = false;
    QString m_lastError;
    std::atomic<int> m_writes { 0 };
};
