#include "platform/programinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QStringList dataFolders(const QString &first)
{
    const auto withSeparator = [](QString path) {
        if (!path.endsWith(u'/'))
            path += u'/';
        return path;
    };
    QStringList folders;
    if (!first.isEmpty())
        folders.append(withSeparator(first));
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!userData.isEmpty())
        folders.append(withSeparator(userData + QStringLiteral("/Quellmark/") + title()));
    folders.append(
        withSeparator(QDir::cleanPath(folder() + QStringLiteral(SCORELANE_DATA_DIR_FROM_PROGRAM))));
    folders.removeDuplicates();
    return folders;
}

QString findDataFile(const QString &name, const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString path = folder + name;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QString firstOpenFolder(const QString &programFolder)
{
    const QFileInfo info(programFolder);
    const QString path = QDir::cleanPath(info.absoluteFilePath()) + u'/';
    if (!path.startsWith(QStringLiteral("/usr/")) && info.isDir() && info.isWritable())
        return programFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

} // namespace ProgramInfo
