#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

// A compiled help file's container checked byte by byte before chmlib sees it. chmlib
// trusts every offset, length and chunk link in the file: a loop in the directory chain
// hangs it, an offset past the end makes it read beyond its buffers. Whatever passes
// here keeps every read chmlib makes inside the file and every walk finite.
namespace ChmCheck {

// Far above any help file of ours; a larger file is not read at all.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
// No single page or picture of a help file comes near this.
constexpr quint64 kMaxObjectLength = 16 * 1024 * 1024;

struct Entry
{
    QByteArray name; // as stored: "/page.htm", "::DataSpace/..."
    unsigned space = 0; // 0 stored as is, 1 compressed
    quint64 start = 0;
    quint64 length = 0;
};

struct Result
{
    QString error; // empty when the file may be handed to chmlib
    std::vector<Entry> entries; // the directory, in file order
    bool ok() const { return error.isEmpty(); }
};

Result check(QByteArrayView file);

} // namespace ChmCheck
