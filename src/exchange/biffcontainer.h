#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The compound file that holds the streams of a binary workbook: a 512-byte header,
// the streams in 512-byte sectors, the directory and the sector allocation table.
// Streams shorter than 4096 bytes are padded up to that, so that every stream lives
// in ordinary sectors and no mini stream is needed.
namespace BiffContainer {

constexpr qsizetype kSectorSize = 512;
constexpr qsizetype kMiniStreamLimit = 4096;

struct Stream
{
    QString name;
    QByteArray bytes;
};

// Streams in the root storage; at most a few, with distinct names.
QByteArray compoundFile(const QList<Stream> &streams);

} // namespace BiffContainer
