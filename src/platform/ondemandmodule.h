#pragma once

#include <QHash>
#include <QString>

class QLibrary;
class QLoggingCategory;

// A library of the program's own that it loads at its first use instead of at start: beside
// the program in a build tree, in the program's library folder when installed. Once loaded it
// stays for the rest of the run (objects made by it live until the program ends); one that
// could not be loaded is tried again at the next use.
class OnDemandModule
{
public:
    using Category = const QLoggingCategory &(*)();

    // fileName: the library's file name; missing: the log's words for what the program lacks
    // without it.
    OnDemandModule(const char *fileName, const char *missing, Category category);

    // Where the module is loaded from.
    QString path() const;
    // Tests load the module just built.
    void setPath(const QString &path) { m_chosenPath = path; }

    // The module's function of that name, with the module loaded; nullptr when the module
    // cannot be loaded or has no such function, and then the reason is in the log.
    QFunctionPointer resolve(const char *name);

private:
    const char *m_fileName;
    const char *m_missing;
    Category m_category;
    QString m_chosenPath;
    QHash<QString, QLibrary *> m_loaded;
};

// The live results' server (Qt Network, Qt WebSockets, the QR codes), loaded when the live
// results are first switched on.
OnDemandModule &liveModule();
// The live picture (GStreamer), loaded when the cameras are first listed.
OnDemandModule &videoModule();
