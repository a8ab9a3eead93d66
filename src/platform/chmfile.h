#pragma once

#include "platform/chmcheck.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

struct chmFile;

// An open compiled help file. The file is read once, checked (ChmCheck) and handed to
// chmlib as a private in-memory copy, so that chmlib reads exactly the checked bytes
// even when the file on disk changes later.
class ChmFile
{
public:
    // nullptr when the file cannot be read or fails the check; `error` then says why.
    static std::unique_ptr<ChmFile> open(const QString &path, QString *error = nullptr);
    ~ChmFile();
    ChmFile(const ChmFile &) = delete;
    ChmFile &operator=(const ChmFile &) = delete;

    // An object by its path inside the file ("/page.htm"); nothing when it is missing,
    // too large or cannot be unpacked.
    std::optional<QByteArray> object(const QString &path) const;

    // The title and the contents file named by the file itself; the contents file falls
    // back to the first ".hhc" in the directory.
    QString title() const { return m_title; }
    QString contentsPath() const { return m_contents; }
    QString defaultTopic() const { return m_defaultTopic; }

private:
    ChmFile() = default;
    void readSystem(const ChmCheck::Result &checked);

    chmFile *m_handle = nullptr;
    int m_memory = -1;
    QString m_title;
    QString m_contents;
    QString m_defaultTopic;
};
