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
    // With maxLines > 0 the text is cut to that many lines: the last kept line takes the
    // rest of the text, and every kept line wider than `width` ends in an ellipsis.
    TextBlock(const QString &text, const QFont &font, int width, unsigned flags, int maxLines = 0);
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
    void layOut(const QString &text, const QList<int> &underlined, int width, unsigned flags);
    QString elided(int width, int maxLines) const;

    QTextLayout m_layout;
    QSize m_size;
    int m_lineHeight = 0;
};

// How a text is drawn so that nothing of it is cut off by its box.
struct TextFit
{
    int pixelSize = 0; // 0: the font as given; otherwise the pixel size to draw with
    int maxLines = 0; // 0: the whole text; otherwise the lines kept, the last one elided
    bool operator==(const TextFit &) const = default;
};

// A text fits its box when no line is wider than the box and, with several lines, the box
// holds them all (at the font's own size: shows at least half of the last one). One that does
// not fit is drawn at the largest smaller pixel size at which it does, down to half the
// font's size; below that it is cut to the lines that half the size holds, the last one elided.
TextFit fitText(const QString &text, const QFont &font, const QSize &box, unsigned flags);
// Whole lines of `lineHeight` in `height`, at least one.
int linesHeld(int height, int lineHeight);
