#include "platform/chmfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>

#include <chm_lib.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Help compilers keep the project's bytes as they were written: ours are UTF-8, older
// files Windows-1252, of which Latin-1 covers every letter a German text needs.
QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

std::unique_ptr<ChmFile> ChmFile::open(const QString &path, QString *error)
{
    // A FIFO or a device in the file's place must not block or feed us forever.
    const QFileInfo info(path);
    if (!info.isFile()) {
        setError(error, QStringLiteral("not a file"));
        return nullptr;
    }
    if (info.size() > ChmCheck::kMaxFileSize) {
        setError(error, QStringLiteral("the file is too large"));
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return nullptr;
    }
    const QByteArray bytes = file.read(ChmCheck::kMaxFileSize + 1);
    const ChmCheck::Result checked = ChmCheck::check(bytes);
    if (!checked.ok()) {
        setError(error, checked.error);
        return nullptr;
    }

    // chmlib opens files only by name: give it a name for the checked bytes.
    const int memory = memfd_create("scorelane-help", MFD_CLOEXEC);
    if (memory < 0) {
        setError(error, QStringLiteral("no memory for the help file"));
        return nullptr;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(memory, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n <= 0) {
            ::close(memory);
            setError(error, QStringLiteral("no memory for the help file"));
            return nullptr;
        }
        written += n;
    }
    std::unique_ptr<ChmFile> result(new ChmFile);
    result->m_memory = memory;
    result->m_handle = chm_open(QByteArray("/proc/self/fd/" + QByteArray::number(memory)).constData());
    if (!result->m_handle) {
        setError(error, QStringLiteral("the help file cannot be opened"));
        return nullptr;
    }
    result->readSystem(checked);
    return result;
}

ChmFile::~ChmFile()
{
    if (m_handle)
        chm_close(m_handle);
    if (m_memory >= 0)
        ::close(m_memory);
}

std::optional<QByteArray> ChmFile::object(const QString &path) const
{
    QByteArray name = path.toUtf8();
    if (!name.startsWith('/'))
        name.prepend('/');
    // chmlib copies the name it looks for into a buffer of its own.
    if (name.size() > 512 || name.contains('\0'))
        return std::nullopt;
    chmUnitInfo unit {};
    if (chm_resolve_object(m_handle, name.constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > ChmCheck::kMaxObjectLength)
        return std::nullopt;
    QByteArray bytes(qsizetype(unit.length), Qt::Uninitialized);
    if (unit.length == 0)
        return bytes;
    const LONGINT64 got = chm_retrieve_object(
        m_handle, &unit, reinterpret_cast<unsigned char *>(bytes.data()), 0, LONGINT64(unit.length));
    if (got != LONGINT64(unit.length))
        return std::nullopt;
    return bytes;
}

void ChmFile::readSystem(const ChmCheck::Result &checked)
{
    // "#SYSTEM": a version, then records of a 16-bit code, a 16-bit length and the data.
    if (const std::optional<QByteArray> system = object(QStringLiteral("/#SYSTEM"))) {
        const QByteArray &s = *system;
        qsizetype at = 4;
        while (at + 4 <= s.size()) {
            const quint16 code = qFromLittleEndian<quint16>(s.constData() + at);
            const quint16 length = qFromLittleEndian<quint16>(s.constData() + at + 2);
            at += 4;
            if (length > s.size() - at)
                break;
            QByteArray data = s.mid(at, length);
            at += length;
            const qsizetype zero = data.indexOf('\0');
            if (zero >= 0)
                data.truncate(zero);
            const QString text = decodeText(data);
            if (code == 0)
                m_contents = text;
            else if (code == 2)
                m_defaultTopic = text;
            else if (code == 3)
                m_title = text;
        }
    }
    if (m_contents.isEmpty()) {
        for (const ChmCheck::Entry &entry : checked.entries) {
            if (entry.name.toLower().endsWith(".hhc")) {
                m_contents = decodeText(entry.name);
                break;
            }
        }
    }
}
