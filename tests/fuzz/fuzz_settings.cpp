// The settings file on hostile bytes, read as the program reads it at start: through
// QSettings from a file, then placing the main window at the stored position.
#include "platform/monitors.h"
#include "scoring/storedsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> folder;
int counter = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // QSettings warns about every broken value; a hostile file has thousands of them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    folder = std::make_unique<QTemporaryDir>();
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t length)
{
    // A new name for every input: QSettings keeps parsed files and would not notice a
    // file rewritten within the same moment with the same size.
    const QString path = folder->filePath(QStringLiteral("in%1.ini").arg(counter++));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(bytes), qint64(length)) != qint64(length))
            std::abort();
    }
    const FixedMonitorList monitors({ QRect(0, 0, 1920, 1080), QRect(-1280, 0, 1280, 1024) });
    const StoredSettings settings = SettingsStore(path).read(monitors);
    if (settings.ColSUD < ResultTable::kMinJudges || settings.ColSUD > ResultTable::kMaxJudges
        || settings.Monitor > monitors.count() - 1)
        std::abort();
    const QPoint at = mainWindowPosition(QPoint(settings.Left, settings.Top), QSize(800, 600), monitors);
    if (monitors.monitorShowing(QRect(at, QSize(800, 600))) < 0)
        std::abort();
    QFile::remove(path);
    return 0;
}
