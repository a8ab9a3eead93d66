#include "dialogs/helpcontents.h"

#include <QStringDecoder>

namespace {

constexpr int kMaxDepth = 32;
constexpr qsizetype kMaxTopics = 10000;
constexpr qsizetype kMaxInput = 4 * 1024 * 1024;

QString decodeEntities(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype semicolon = text[i] == u'&' ? text.indexOf(u';', i) : -1;
        if (semicolon < 0 || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        const QStringView entity = text.sliced(i + 1, semicolon - i - 1);
        char32_t code = 0;
        if (entity == u"amp")
            code = '&';
        else if (entity == u"lt")
            code = '<';
        else if (entity == u"gt")
            code = '>';
        else if (entity == u"quot")
            code = '"';
        else if (entity == u"apos")
            code = '\'';
        else if (entity.startsWith(u'#')) {
            bool ok = false;
            const uint value = entity.startsWith(u"#x", Qt::CaseInsensitive)
                ? entity.sliced(2).toUInt(&ok, 16)
                : entity.sliced(1).toUInt(&ok, 10);
            if (ok && value > 0 && value <= 0x10ffff && !(value >= 0xd800 && value <= 0xdfff))
                code = value;
        }
        if (code == 0) {
            out += text[i];
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semicolon;
    }
    return out;
}

struct Tag
{
    QString name; // lower case, "/ul" for an end tag
    QList<std::pair<QString, QString>> attributes; // names lower case

    QString attribute(const QString &key) const
    {
        for (const auto &[name, value] : attributes) {
            if (name == key)
                return value;
        }
        return QString();
    }
};

// Reads the tag that starts at text[at] == '<'; `at` ends after its '>'.
Tag readTag(QStringView text, qsizetype &at)
{
    Tag tag;
    qsizetype i = at + 1;
    const auto skipSpace = [&] {
        while (i < text.size() && text[i].isSpace())
            ++i;
    };
    const auto readWord = [&] {
        const qsizetype from = i;
        while (i < text.size() && !text[i].isSpace() && text[i] != u'>' && text[i] != u'=')
            ++i;
        return text.sliced(from, i - from).toString().toLower();
    };
    tag.name = readWord();
    for (;;) {
        skipSpace();
        if (i >= text.size() || text[i] == u'>')
            break;
        const QString name = readWord();
        if (name.isEmpty()) {
            ++i; // a stray '=' or '/'
            continue;
        }
        skipSpace();
        QString value;
        if (i < text.size() && text[i] == u'=') {
            ++i;
            skipSpace();
            if (i < text.size() && (text[i] == u'"' || text[i] == u'\'')) {
                const QChar quote = text[i++];
                qsizetype end = text.indexOf(quote, i);
                if (end < 0)
                    end = text.size();
                value = decodeEntities(text.sliced(i, end - i));
                i = qMin(end + 1, text.size());
            } else {
                const qsizetype from = i;
                while (i < text.size() && !text[i].isSpace() && text[i] != u'>')
                    ++i;
                value = decodeEntities(text.sliced(from, i - from));
            }
        }
        tag.attributes.append({ name, value });
    }
    at = qMin(i + 1, text.size());
    return tag;
}

} // namespace

QList<HelpTopic> parseHelpContents(const QByteArray &hhc)
{
    const QByteArray bytes = hhc.left(kMaxInput);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);

    QList<HelpTopic> topics;
    // Each open list: the line it sits under and the last line read into it. A list
    // opened right after a line nests under that line.
    struct Level
    {
        int parent = -1;
        int last = -1;
    };
    QList<Level> levels { Level {} };
    int deeperLevels = 0; // lists opened beyond the depth cap, closed without effect
    bool inObject = false;
    HelpTopic pending;
    for (qsizetype at = text.indexOf(u'<'); at >= 0 && at < text.size(); at = text.indexOf(u'<', at)) {
        if (text.sliced(at).startsWith(u"<!--")) {
            const qsizetype end = text.indexOf(u"-->", at + 4);
            if (end < 0)
                break;
            at = end + 3;
            continue;
        }
        const Tag tag = readTag(text, at);
        if (tag.name == u"ul") {
            if (levels.size() > kMaxDepth) {
                ++deeperLevels;
                continue;
            }
            const Level &top = levels.last();
            levels.append(Level { top.last >= 0 ? top.last : top.parent, -1 });
        } else if (tag.name == u"/ul") {
            if (deeperLevels > 0)
                --deeperLevels;
            else if (levels.size() > 1)
                levels.removeLast();
        } else if (tag.name == u"object") {
            inObject
                = tag.attribute(QStringLiteral("type")).compare(u"text/sitemap", Qt::CaseInsensitive) == 0;
            pending = HelpTopic { QString(), QString(), levels.last().parent };
        } else if (tag.name == u"param" && inObject) {
            const QString key = tag.attribute(QStringLiteral("name")).toLower();
            if (key == u"name")
                pending.name = tag.attribute(QStringLiteral("value"));
            else if (key == u"local")
                pending.local = tag.attribute(QStringLiteral("value"));
        } else if (tag.name == u"/object" && inObject) {
            inObject = false;
            if (topics.size() >= kMaxTopics)
                break;
            if (!pending.name.isEmpty() || !pending.local.isEmpty()) {
                pending.parent = levels.last().parent;
                levels.last().last = int(topics.size());
                topics.append(pending);
            }
        }
    }
    return topics;
}
