#include "platform/fileio.h"

#include "platform/commanderror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace FileIo {

namespace {

constexpr qsizetype kReadPiece = qsizetype(1) << 20;
constexpr size_t kLargestWrite = size_t(1) << 30;

FileIo::WriteCall g_writeCall;

// Closes the descriptor on every way out unless released.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now and reports the result; a close interrupted by a signal has still closed.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 || errno == EINTR ? 0 : -1;
    }

private:
    int m_fd;
};

int openRetrying(const QByteArray &path, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(path.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t writeOnce(int fd, const char *data, size_t size)
{
    return g_writeCall ? g_writeCall(fd, data, size) : ::write(fd, data, size);
}

void writeAll(int fd, QByteArrayView bytes, const QString &fileName)
{
    const char *data = bytes.data();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = writeOnce(fd, data, std::min(left, kLargestWrite));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throwError(errno, fileName);
        }
        if (written == 0)
            throwError(ENOSPC, fileName);
        data += written;
        left -= size_t(written);
    }
}

// Some file systems have nothing to flush and say so; that is not a failure.
bool syncFailed(int fd)
{
    return ::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP;
}

QString temporaryName(const QString &folder, const QString &targetName)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 8; ++i)
        suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    // Name it after the target where that fits, so that a leftover can be told apart.
    const QString stem = QFile::encodeName(targetName).size() <= 200 ? targetName : QStringLiteral("save");
    return folder + QStringLiteral("/.") + stem + u'.' + suffix + u'~';
}

void writeDirectly(const QByteArray &path, QByteArrayView bytes, const QString &fileName)
{
    Descriptor fd(openRetrying(path, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        throwError(errno, fileName);
    writeAll(fd.get(), bytes, fileName);
    if (fd.close() != 0)
        throwError(errno, fileName);
}

} // namespace

QString errorText(int systemError, const QString &fileName)
{
    switch (systemError) {
    case ENOENT:
        if (!QFileInfo(fileName).absoluteDir().exists())
            return QStringLiteral("Invalid filename");
        return QStringLiteral("File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
    case EILSEQ:
        return QStringLiteral("Invalid filename");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return QStringLiteral("File access denied");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Disk full");
    default:
        return QStringLiteral("I/O error %1").arg(systemError);
    }
}

void throwError(int systemError, const QString &fileName)
{
    throw CommandError(errorText(systemError, fileName));
}

void readFile(const QString &fileName, const std::function<bool(const char *data, qsizetype size)> &consume,
    const std::function<void(qint64 size)> &expect)
{
    // Non-blocking open so that a pipe without a writer cannot hang the program.
    Descriptor fd(openRetrying(QFile::encodeName(fileName), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        throwError(errno, fileName);
    // Only a plain file has an end to wait for: a FIFO's writer may come at any time or
    // never, and a device such as /dev/zero never ends.
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0)
        throwError(errno, fileName);
    if (!S_ISREG(info.st_mode))
        throwError(S_ISDIR(info.st_mode) ? EISDIR : EACCES, fileName);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags != -1)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);

    if (expect)
        expect(qint64(info.st_size));

    const std::unique_ptr<char[]> buffer(new char[size_t(kReadPiece)]);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.get(), size_t(kReadPiece));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwError(errno, fileName);
        }
        if (got == 0 || !consume(buffer.get(), qsizetype(got)))
            break;
    }
}

void writeFileAtomically(const QString &fileName, QByteArrayView bytes)
{
    // Through a link, the file it points to is replaced and the link stays.
    const QFileInfo info(fileName);
    QString target = fileName;
    if (info.isSymLink())
        target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    const QByteArray targetPath = QFile::encodeName(target);

    struct stat existing = {};
    const bool exists = ::stat(targetPath.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        throwError(errno, fileName);
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            throwError(EISDIR, fileName);
        if (!S_ISREG(existing.st_mode))
            return writeDirectly(targetPath, bytes, fileName);
        Descriptor probe(openRetrying(targetPath, O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        if (probe.get() < 0)
            throwError(errno, fileName);
    }

    const QFileInfo targetInfo(target);
    QByteArray temporaryPath;
    int created = -1;
    for (int attempt = 0; attempt < 100 && created < 0; ++attempt) {
        temporaryPath = QFile::encodeName(temporaryName(targetInfo.absolutePath(), targetInfo.fileName()));
        created = openRetrying(temporaryPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (created < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            // The new file is made beside the old one: the folder, not the file, refuses.
            throw CommandError(
                QStringLiteral("File access denied: im Ordner \"%1\" kann nicht gespeichert werden")
                    .arg(QDir::toNativeSeparators(targetInfo.absolutePath())));
        }
        if (created < 0 && errno != EEXIST)
            throwError(errno, fileName);
    }
    if (created < 0)
        throwError(EEXIST, fileName);

    Descriptor fd(created);
    try {
        writeAll(fd.get(), bytes, fileName);
        if (exists) {
            // Best effort: the new file keeps the old one's permissions and group.
            if (::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0
                && ::fchown(fd.get(), uid_t(-1), existing.st_gid) != 0) {
                // Not allowed to give the group either: the file stays the user's own.
            }
            (void)::fchmod(fd.get(), existing.st_mode & 07777);
        }
        if (syncFailed(fd.get()))
            throwError(errno, fileName);
        if (fd.close() != 0)
            throwError(errno, fileName);
        if (::rename(temporaryPath.constData(), targetPath.constData()) != 0)
            throwError(errno, fileName);
    } catch (...) {
        ::unlink(temporaryPath.constData());
        throw;
    }

    // Make the new name itself durable; the data already is.
    Descriptor folder(
        openRetrying(QFile::encodeName(targetInfo.absolutePath()), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        (void)::fsync(folder.get());
}

void setWriteCallForTests(WriteCall call)
{
    g_writeCall = std::move(call);
}

} // namespace FileIo
