#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One line of a help file's table of contents, in the order of the file; `parent` is
// the index of the line it sits under, or -1 at the top.
struct HelpTopic
{
    QString name;
    QString local; // the page inside the help file, may be empty for a heading
    int parent = -1;

    bool operator==(const HelpTopic &) const = default;
};

// Reads the contents file (".hhc", the HTML sitemap that help compilers take): nested
// lists of objects with a "Name" and a "Local" parameter. Anything else in the file is
// skipped; nesting and size are capped, so a hostile file gives a short list.
QList<HelpTopic> parseHelpContents(const QByteArray &hhc);
