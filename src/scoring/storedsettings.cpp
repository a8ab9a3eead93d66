#include "scoring/storedsettings.h"

#include "platform/monitors.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// The program writes about a hundred bytes. A far larger file is not its settings, and
// parsing it would cost seconds and hundreds of megabytes at every start.
constexpr qint64 kMaxFileSize = 64 * 1024;

enum class FileKind
{
    Missing,
    Settings,
    TooLarge,
    // Values serialised as Qt objects: QSettings would decode them, and a hostile length in
    // one makes it allocate gigabytes. The program writes integers only.
    HoldsObjects,
    // A folder, a FIFO, a device: QSettings would block in open() on a FIFO.
    NoPlainFile,
};

FileKind fileKind(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileKind::Missing;
    if (!info.isFile())
        return FileKind::NoPlainFile;
    if (info.size() > kMaxFileSize)
        return FileKind::TooLarge;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.read(kMaxFileSize).contains("@Variant("))
        return FileKind::HoldsObjects;
    return FileKind::Settings;
}

// Only a plain decimal integer counts; the INI format keeps every value as text.
std::optional<int> readInteger(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (!value.isValid() || value.typeId() == QMetaType::QStringList)
        return std::nullopt;
    bool ok = false;
    const int number = value.toString().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return number;
}

void readValues(const QString &path, StoredSettings &result)
{
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return;
    // A lambda per value keeps the read order and the stop at the first failure in one place.
    const auto readInto = [&](const char *key, auto apply) {
        const std::optional<int> value = readInteger(settings, QString::fromLatin1(key));
        if (value)
            apply(*value);
        return value.has_value();
    };
    readInto("Left", [&](int v) { result.Left = v; }) && readInto("Top", [&](int v) { result.Top = v; })
        && readInto("KeepAR", [&](int v) { result.KeepAR = v != 0; })
        && readInto("Monitor", [&](int v) { result.Monitor = v; }) && readInto("ColSUD", [&](int v) {
               result.ColSUD = std::clamp(v, ResultTable::kMinJudges, ResultTable::kMaxJudges);
           });
    // A help window of no size or far off any monitor's size would be lost to the operator.
    if (const std::optional<int> width = readInteger(settings, QStringLiteral("HelpWidth")))
        result.HelpWidth = std::clamp(*width, StoredSettings::kMinHelpWidth, StoredSettings::kMaxHelpSize);
    if (const std::optional<int> height = readInteger(settings, QStringLiteral("HelpHeight")))
        result.HelpHeight = std::clamp(*height, StoredSettings::kMinHelpHeight, StoredSettings::kMaxHelpSize);
    if (const std::optional<int> on = readInteger(settings, QStringLiteral("LiveOn")))
        result.LiveOn = *on != 0;
    if (const std::optional<int> port = readInteger(settings, QStringLiteral("LivePort"));
        port && *port >= 1 && *port <= 65535)
        result.LivePort = *port;
    if (const std::optional<int> network = readInteger(settings, QStringLiteral("LiveNetwork"));
        network && (*network == 0 || *network == 1))
        result.LiveNetwork = *network;
}

} // namespace

QString SettingsStore::defaultPath(const QString &programTitle)
{
    // The folder QSettings uses for the user's INI files. A QSettings made only to ask for its
    // file name would already read the file, and block on a FIFO there.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Quellmark/") + programTitle + QStringLiteral(".ini");
}

SettingsStore::SettingsStore(QString iniPath)
    : m_path(std::move(iniPath))
{ }

StoredSettings SettingsStore::read(const MonitorList &monitors) const
{
    StoredSettings result;
    if (fileKind(m_path) == FileKind::Settings)
        readValues(m_path, result);
    if (result.Monitor > monitors.count() - 1)
        result.Monitor = 0;
    return result;
}

bool SettingsStore::write(const StoredSettings &s) const
{
    switch (fileKind(m_path)) {
    case FileKind::NoPlainFile:
        return false;
    case FileKind::TooLarge:
    case FileKind::HoldsObjects:
        // QSettings would parse it again to keep its other keys; nothing in it was read.
        if (!QFile::remove(m_path))
            return false;
        break;
    case FileKind::Missing:
    case FileKind::Settings:
        break;
    }
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Left"), s.Left);
    settings.setValue(QStringLiteral("Top"), s.Top);
    settings.setValue(QStringLiteral("Width"), s.Width);
    settings.setValue(QStringLiteral("Height"), s.Height);
    settings.setValue(QStringLiteral("KeepAR"), s.KeepAR ? 1 : 0);
    settings.setValue(QStringLiteral("Monitor"), s.Monitor);
    settings.setValue(QStringLiteral("ColSUD"), s.ColSUD);
    settings.setValue(QStringLiteral("HelpWidth"), s.HelpWidth);
    settings.setValue(QStringLiteral("HelpHeight"), s.HelpHeight);
    settings.setValue(QStringLiteral("LiveOn"), s.LiveOn ? 1 : 0);
    settings.setValue(QStringLiteral("LivePort"), s.LivePort);
    settings.setValue(QStringLiteral("LiveNetwork"), s.LiveNetwork);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QPoint mainWindowPosition(QPoint stored, QSize outerSize, const MonitorList &monitors)
{
    const QSize size = outerSize.isEmpty() ? QSize(1, 1) : outerSize;
    // A stored edge near the largest integer must not wrap round onto a monitor.
    const bool fitsIntegers = qint64(stored.x()) + size.width() <= std::numeric_limits<int>::max()
        && qint64(stored.y()) + size.height() <= std::numeric_limits<int>::max();
    if (fitsIntegers && monitors.monitorShowing(QRect(stored, size)) >= 0)
        return stored;

    const QRect primary = monitors.rect(0);
    const auto fit = [](int start, int offset, int length, int monitorLength) {
        return start + std::max(0, std::min(offset, monitorLength - length));
    };
    return QPoint(fit(primary.left(), StoredSettings::kDefaultLeft, size.width(), primary.width()),
        fit(primary.top(), StoredSettings::kDefaultTop, size.height(), primary.height()));
}
