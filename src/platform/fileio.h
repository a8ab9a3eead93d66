#pragma once

#include <QByteArrayView>
#include <QString>

#include <sys/types.h>

#include <functional>

// Reading and writing whole files with the runtime's error texts. Failures are
// CommandErrors whose text names the cause ("Disk full", "File access denied"...).
namespace FileIo {

// The runtime's text for a failed operation on fileName with the system error
// number: a missing folder is an invalid name, a missing file is not found.
QString errorText(int systemError, const QString &fileName);

[[noreturn]] void throwError(int systemError, const QString &fileName);

// Hands the file to consume in pieces, in order; consume returns false when it
// needs no more. Any piece size may come, the last one short. expect, when given,
// first learns the file's size. Only plain files are read: a folder, a FIFO or a
// device is refused as "File access denied" without waiting for it.
void readFile(const QString &fileName, const std::function<bool(const char *data, qsizetype size)> &consume,
    const std::function<void(qint64 size)> &expect = {});

// Replaces the contents of fileName by bytes, or leaves the file as it was: the
// bytes go to a new file next to it, which replaces it only when every byte is
// written and on the disk. An existing file that may not be written is refused,
// as an overwrite would be. Targets that are not plain files are written directly.
void writeFileAtomically(const QString &fileName, QByteArrayView bytes);

// Test seam: stands in for the write(2) calls of writeFileAtomically; empty
// restores the system call.
using WriteCall = std::function<ssize_t(int fd, const void *data, size_t size)>;
void setWriteCallForTests(WriteCall call);

} // namespace FileIo
