#include "platform/livemodule.h"

#include "platform/ondemandmodule.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcLiveModule, "scorelane.live")

OnDemandModule &module()
{
    // Never destroyed, like the library it keeps loaded.
    static OnDemandModule *const module
        = new OnDemandModule("libscorelane-live.so", "No live results", lcLiveModule);
    return *module;
}

} // namespace

namespace LiveModule {

QString path()
{
    return module().path();
}

void setPath(const QString &path)
{
    module().setPath(path);
}

QFunctionPointer resolve(const char *name)
{
    return module().resolve(name);
}

} // namespace LiveModule
