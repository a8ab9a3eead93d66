#pragma once

#include <QFont>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTextLayout>

class QPainter;

// Multi-line text laid out once for a rectangle's width and drawn as often as needed,
// so that the copies of a layered text cost one layout: explicit line breaks (CR LF,
// CR or LF), word break at blanks, tab stops every eight average character widths,
// and an ampersand marking the next character as the underlined accelerator ("&&"
// for the ampersand itself) unless tfNoPrefix is given. Lines are as high as the
// font's ascent plus descent and are aligned left, centred or right in the width.
class TextBlock
{
public:
    TextBlock(const QString &text, const QFont &font, int width, unsigned flags);
    TextBlock(const TextBlock &) = delete;
    TextBlock &operator=(const TextBlock &) = delete;

    // The widest line by the height of all lines.
    QSize size() const { return m_size; }
    int lineCount() const { return m_layout.lineCount(); }
    int lineHeight() const { return m_lineHeight; }
    // The text after accelerator and line-break handling.
    QString displayText() const { return m_layout.text(); }

    // Draws in the painter's pen colour from the top of `rect`, clipped to it.
    void draw(QPainter &painter, const QRect &rect) const;

private:
    QTextLayout m_layout;
    QSize m_size;
    int m_lineHeight = 0;
};
