#include "platform/programinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ProgramInfo {

QString titleFromPath(const QString &programPath)
{
    QString name = QFileInfo(programPath).fileName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString title()
{
    return titleFromPath(QCoreApplication::applicationFilePath());
}

QString folder()
{
    QString path = QCoreApplication::applicationDirPath();
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

} // namespace ProgramInfo
