#include "platform/ondemandmodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcLiveModule, "scorelane.live")
Q_LOGGING_CATEGORY(lcVideoModule, "scorelane.video")

} // namespace

OnDemandModule::OnDemandModule(const char *fileName, const char *missing, Category category)
    : m_fileName(fileName)
    , m_missing(missing)
    , m_category(category)
{ }

QString OnDemandModule::path() const
{
    if (!m_chosenPath.isEmpty())
        return m_chosenPath;
    const QString programFolder = QCoreApplication::applicationDirPath() + u'/';
    const QString beside = programFolder + QLatin1StringView(m_fileName);
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programFolder + QStringLiteral(SCORELANE_LIBEXEC_DIR_FROM_PROGRAM) + u'/'
        + QLatin1StringView(m_fileName));
}

QFunctionPointer OnDemandModule::resolve(const char *name)
{
    const QString file = path();
    QLibrary *library = m_loaded.value(file);
    if (!library) {
        auto candidate = std::make_unique<QLibrary>(file);
        if (!candidate->load()) {
            qCWarning(m_category, "%s: %s", m_missing, qPrintable(candidate->errorString()));
            return nullptr;
        }
        library = candidate.release();
        m_loaded.insert(file, library);
    }
    const QFunctionPointer function = library->resolve(name);
    if (!function)
        qCWarning(m_category, "%s: %s", m_missing, qPrintable(library->errorString()));
    return function;
}

// Never destroyed, like the libraries they keep loaded.
OnDemandModule &liveModule()
{
    static OnDemandModule *const module
        = new OnDemandModule("libscorelane-live.so", "No live results", lcLiveModule);
    return *module;
}

OnDemandModule &videoModule()
{
    static OnDemandModule *const module
        = new OnDemandModule("libscorelane-video.so", "No live picture", lcVideoModule);
    return *module;
}
