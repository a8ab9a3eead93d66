#include "display/textblock.h"

#include "display/label3dgeometry.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <QTextCharFormat>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTabStopChars = 8;

// Resolves accelerators and line breaks; `underlined` receives the accelerator positions.
QString prepareText(const QString &text, unsigned flags, QList<int> &underlined)
{
    const bool prefix = !(flags & tfNoPrefix);
    const bool expandTabs = flags & tfExpandTabs;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out.append(QChar::LineSeparator);
        } else if (c == u'\n') {
            out.append(QChar::LineSeparator);
        } else if (c == u'\t' && !expandTabs) {
            out.append(u' ');
        } else if (c == u'&' && prefix) {
            if (i + 1 >= text.size())
                break; // a trailing ampersand marks nothing and shows nothing
            const QChar next = text[++i];
            if (next == u'&') {
                out.append(next);
            } else {
                // The marked character goes through the same handling as any other.
                --i;
                if (next != u'\r' && next != u'\n')
                    underlined.append(int(out.size()));
                continue;
            }
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

TextBlock::TextBlock(const QString &text, const QFont &font, int width, unsigned flags, int maxLines)
{
    m_layout.setFont(font);
    m_layout.setCacheEnabled(true);
    QList<int> underlined;
    layOut(prepareText(text, flags, underlined), underlined, width, flags);
    if (maxLines > 0) {
        const QString cut = elided(width, maxLines);
        // The cut lines are laid out as they stand; an accelerator mark is not kept.
        if (cut != m_layout.text())
            layOut(cut, {}, width, flags & ~unsigned(tfWordBreak));
    }
}

void TextBlock::layOut(const QString &text, const QList<int> &underlined, int width, unsigned flags)
{
    m_layout.setText(text);
    const QFontMetrics metrics(m_layout.font());
    m_lineHeight = metrics.height();
    QTextOption option;
    option.setWrapMode((flags & tfWordBreak) ? QTextOption::WordWrap : QTextOption::NoWrap);
    option.setTabStopDistance(kTabStopChars * metrics.averageCharWidth());
    m_layout.setTextOption(option);

    QList<QTextLayout::FormatRange> ranges;
    if (!underlined.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        for (int position : underlined)
            ranges.append({ position, 1, underline });
    }
    if (!ranges.isEmpty() || !m_layout.formats().isEmpty())
        m_layout.setFormats(ranges);

    const int lineWidth = std::max(width, 0);
    m_layout.beginLayout();
    for (;;) {
        QTextLine line = m_layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(lineWidth);
    }
    m_layout.endLayout();

    int widest = 0;
    const unsigned horizontal = flags & tfHorizontalMask;
    for (int i = 0; i < m_layout.lineCount(); ++i) {
        QTextLine line = m_layout.lineAt(i);
        const int textWidth = int(std::ceil(line.naturalTextWidth()));
        widest = std::max(widest, textWidth);
        int x = 0;
        if (horizontal == tfRight)
            x = lineWidth - textWidth;
        else if (horizontal == tfCenter)
            x = (lineWidth - textWidth) / 2;
        // Whole-pixel baselines keep every copy of the text equally sharp.
        const qreal top = i * m_lineHeight + metrics.ascent() - line.ascent();
        line.setPosition(QPointF(x, top));
    }
    m_size = QSize(widest, m_layout.lineCount() * m_lineHeight);
}

QString TextBlock::elided(int width, int maxLines) const
{
    const QString text = m_layout.text();
    const QFontMetrics metrics(m_layout.font());
    const int kept = std::min(m_layout.lineCount(), maxLines);
    bool fits = kept == m_layout.lineCount();
    for (int i = 0; i < kept && fits; ++i)
        fits = m_layout.lineAt(i).naturalTextWidth() <= width;
    if (fits)
        return text;

    QStringList lines;
    for (int i = 0; i < kept; ++i) {
        const QTextLine line = m_layout.lineAt(i);
        const bool rest = i == kept - 1 && kept < m_layout.lineCount();
        QString part = rest ? text.mid(line.textStart()) : text.mid(line.textStart(), line.textLength());
        part.replace(QChar::LineSeparator, u' ');
        part = part.trimmed();
        if (rest || line.naturalTextWidth() > width)
            part = metrics.elidedText(part, Qt::ElideRight, std::max(width, 0));
        lines.append(part);
    }
    return lines.join(QChar::LineSeparator);
}

int linesHeld(int height, int lineHeight)
{
    return lineHeight > 0 ? std::max(1, height / lineHeight) : 1;
}

TextFit fitText(const QString &text, const QFont &font, const QSize &box, unsigned flags)
{
    // Measuring caches the text's glyph metrics in the font's engine. Qt draws text above 64 px
    // from outlines of the FreeType face that all sizes share, keeping the sub-pixel offset of
    // the glyph that face loaded last: text whose metrics are cached long before it is drawn is
    // not reloaded then and comes out shifted by a fraction of a pixel. A style strategy that
    // means nothing to scalable fonts gives the measuring an engine of its own with the same
    // metrics, so the caller's text is drawn as if it had never been measured.
    QFont measured = font;
    measured.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() ^ QFont::PreferQuality));

    // At the font's own size a line counts when at least half of it shows, as the text has
    // always been drawn; a smaller size is only worth taking where every line shows whole.
    const auto fits = [&](const QFont &f, bool asSpecified) {
        const TextBlock block(text, f, box.width(), flags);
        const int slack = asSpecified ? block.lineHeight() / 2 : 0;
        return block.size().width() <= box.width()
            && block.lineCount() <= linesHeld(box.height() + slack, block.lineHeight());
    };
    if (text.isEmpty() || fits(measured, true))
        return {};
    const auto sized = [&measured](int pixels) {
        QFont f = measured;
        f.setPixelSize(pixels);
        return f;
    };
    const int specified = QFontInfo(font).pixelSize();
    // Width and line count grow with the size, so the sizes that fit lie below those that do not.
    int low = std::max(1, (specified + 1) / 2);
    int high = specified - 1;
    if (high < low || !fits(sized(low), false))
        return { low, linesHeld(box.height(), QFontMetrics(sized(low)).height()) };
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (fits(sized(middle), false))
            low = middle;
        else
            high = middle - 1;
    }
    return { low, 0 };
}

void TextBlock::draw(QPainter &painter, const QRect &rect) const
{
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    m_layout.draw(&painter, rect.topLeft());
    painter.restore();
}
