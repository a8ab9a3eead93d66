#include "platform/videomodule.h"

#include "platform/ondemandmodule.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcVideoModule, "scorelane.video")

OnDemandModule &module()
{
    // Never destroyed, like the library it keeps loaded.
    static OnDemandModule *const module
        = new OnDemandModule("libscorelane-video.so", "No live picture", lcVideoModule);
    return *module;
}

} // namespace

namespace VideoModule {

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

} // namespace VideoModule
