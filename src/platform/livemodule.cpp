#include "platform/livemodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QLoggingCategory>

#include <memory>

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
    // Never unloaded once loaded: objects made by the module live until the program ends. A
    // module that could not be loaded is tried again at the next start of the live results.
    static QHash<QString, QLibrary *> loaded;
    const QString file = path();
    QLibrary *library = loaded.value(file);
    if (!library) {
        auto candidate = std::make_unique<QLibrary>(file);
        if (!candidate->load()) {
            qCWarning(lcLiveModule, "No live results: %s", qPrintable(candidate->errorString()));
            return nullptr;
        }
        library = candidate.release();
        loaded.insert(file, library);
    }
    const QFunctionPointer function = library->resolve(name);
    if (!function)
        qCWarning(lcLiveModule, "No live results: %s", qPrintable(library->errorString()));
    return function;
}

} // namespace LiveModule
