#include "platform/livemodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

namespace {

constexpr char kModuleName[] = "libscorelane-live.so";

Q_LOGGING_CATEGORY(lcLiveModule, "scorelane.live")

QString &chosenPath()
{
    static QString path;
    return path;
}

} // namespace

namespace LiveModule {

QString path()
{
    if (!chosenPath().isEmpty())
        return chosenPath();
    const QString programFolder = QCoreApplication::applicationDirPath() + u'/';
    const QString beside = programFolder + QLatin1StringView(kModuleName);
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programFolder + QStringLiteral(SCORELANE_LIBEXEC_DIR_FROM_PROGRAM) + u'/'
        + QLatin1StringView(kModuleName));
}

void setPath(const QString &path)
{
    chosenPath() = path;
}

QFunctionPointer resolve(const char *name)
{
    // Never unloaded: objects made by the module live until the program ends.
    static QLibrary *library = [] {
        auto *loaded = new QLibrary(path());
        if (!loaded->load())
            qCWarning(lcLiveModule, "No live results: %s", qPrintable(loaded->errorString()));
        return loaded;
    }();
    if (!library->isLoaded())
        return nullptr;
    const QFunctionPointer function = library->resolve(name);
    if (!function)
        qCWarning(lcLiveModule, "No live results: %s", qPrintable(library->errorString()));
    return function;
}

} // namespace LiveModule
