// Help files on hostile bytes, read as the help window reads them: the check, then
// chmlib on whatever passes it, every object of the directory, and the contents file.
// Inputs that are no help file go to the contents reader alone.
#include "dialogs/helpcontents.h"
#include "platform/chmcheck.h"
#include "platform/chmfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    folder = std::make_unique<QTemporaryDir>();
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t length)
{
    const QByteArray input
        = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), qsizetype(length));
    if (!input.startsWith("ITSF")) {
        const QList<HelpTopic> topics = parseHelpContents(input);
        for (qsizetype i = 0; i < topics.size(); ++i) {
            if (topics[i].parent >= i || topics[i].parent < -1)
                std::abort();
        }
        return 0;
    }
    const ChmCheck::Result checked = ChmCheck::check(input);
    if (!checked.ok())
        return 0;
    const QString path = folder->filePath(QStringLiteral("in.chm"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(input) != input.size())
            std::abort();
    }
    const std::unique_ptr<ChmFile> file = ChmFile::open(path);
    if (!file)
        return 0;
    for (const ChmCheck::Entry &entry : checked.entries) {
        const std::optional<QByteArray> object = file->object(QString::fromUtf8(entry.name));
        if (object && quint64(object->size()) != entry.length)
            std::abort();
    }
    parseHelpContents(file->object(QLatin1Char('/') + file->contentsPath()).value_or(QByteArray()));
    return 0;
}
