#include "display/textblock.h"

#include "display/label3dgeometry.h"

#include <QFontMetrics>
#include <QPainter>
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

TextBlock::TextBlock(const QString &text, const QFont &font, int width, unsigned flags)
{
    QList<int> underlined;
    m_layout.setText(prepareText(text, flags, underlined));
    m_layout.setFont(font);
    m_layout.setCacheEnabled(true);

    const QFontMetrics metrics(font);
    m_lineHeight = metrics.height();
    QTextOption option;
    option.setWrapMode((flags & tfWordBreak) ? QTextOption::WordWrap : QTextOption::NoWrap);
    option.setTabStopDistance(kTabStopChars * metrics.averageCharWidth());
    m_layout.setTextOption(option);

    if (!underlined.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        QList<QTextLayout::FormatRange> ranges;
        for (int position : underlined)
            ranges.append({ position, 1, underline });
        m_layout.setFormats(ranges);
    }

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

void TextBlock::draw(QPainter &painter, const QRect &rect) const
{
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    m_layout.draw(&painter, rect.topLeft());
    painter.restore();
}
