#pragma once

#include "display/label3dgeometry.h"
#include "display/textblock.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

// A text label whose text is drawn with offset copies in other colours (raised,
// lowered, drop shadow or outline), optionally over a two-colour gradient and inside
// a bevelled or plain border. Every scoreboard figure is one of these.
class TLabel3D : public QWidget
{
    Q_OBJECT
public:
    explicit TLabel3D(QWidget *parent = nullptr);
    ~TLabel3D() override;

    // Plain label properties. The font is the widget's font.
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color);
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    TextLayout Layout() const { return m_layout; }
    void setLayout(TextLayout layout);
    using QWidget::setLayout; // the widget's own layout manager stays reachable
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool on);
    bool ShowAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool on);

    // Drawing properties.
    QColor FirstColor() const { return m_firstColor; }
    void setFirstColor(const QColor &color);
    QColor LastColor() const { return m_lastColor; }
    void setLastColor(const QColor &color);
    bool FillGradient() const { return m_fillGradient; }
    void setFillGradient(bool on);
    TGradientOrientation GradientOrientation() const { return m_gradientOrientation; }
    void setGradientOrientation(TGradientOrientation orientation);
    QColor HighLightColor() const { return m_highLightColor; }
    void setHighLightColor(const QColor &color);
    QColor ShadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &color);
    TLabel3DBevel Bevel() const { return m_bevel; }
    void setBevel(TLabel3DBevel bevel);
    quint8 ShadowSize() const { return m_shadowSize; }
    void setShadowSize(quint8 size);
    int ShadowNapr() const { return m_shadowNapr; }
    void setShadowNapr(int directions);
    QColor BorderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    TLabel3DBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TLabel3DBorderStyle style);

    // Draws border, background and text into the client rectangle at the painter's origin.
    // A caption that does not fit the label is drawn smaller or cut (fitText()).
    void Paint(QPainter &painter) const;
    // Draws the caption in the label's font in `rect` with the layers of the bevel, or with tfCalcRect
    // stores the size of the text in `rect` (top-left kept) and draws nothing.
    void DrawLayeredText(QPainter &painter, QRect &rect, unsigned flags) const;
    static void GradientFill(QPainter &painter, const QRect &rect, const QColor &first, const QColor &last,
        TGradientOrientation orientation);
    // Draws `width` nested one-pixel frames and shrinks `rect` to the inside.
    static void DrawBevelFrame(
        QPainter &painter, QRect &rect, const QColor &topLeft, const QColor &bottomRight, int width);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    template <typename T> void assign(T &member, const T &value);
    // For the properties that decide whether the caption fits.
    template <typename T> void assignAndRefit(T &member, const T &value);

    void drawLayers(QPainter &painter, const TextBlock &text, const QRect &rect, const QFont &font) const;
    unsigned paintFlags() const;
    // Where the text must fit: the inside of the border; text that does not wrap leaves room
    // for the copies on both sides, so that centred text keeps its shadow too.
    QSize fitBox() const;
    void refit();
    QColor layerColor(LayerColor role) const;
    QColor frameColor(FrameColor role) const;

    QString m_caption;
    QColor m_fontColor;
    QColor m_color;
    TAlignment m_alignment = taLeftJustify;
    TextLayout m_layout = tlTop;
    bool m_wordWrap = false;
    bool m_transparent = false;
    bool m_showAccelChar = true;

    QColor m_firstColor { Qt::white };
    QColor m_lastColor { 0, 128, 128 };
    bool m_fillGradient = false;
    TGradientOrientation m_gradientOrientation = goHorizontal;
    QColor m_highLightColor;
    QColor m_shadowColor;
    TLabel3DBevel m_bevel = blRaised;
    quint8 m_shadowSize = 1;
    int m_shadowNapr = 1;
    QColor m_borderColor { Qt::black };
    int m_borderWidth = 1;
    TLabel3DBorderStyle m_borderStyle = lbNone;

    // The fit is worked out at the first paint after what it depends on changed, so that a
    // hidden label, or one changed several times between two paints, is not measured in vain.
    void ensureFit() const;
    mutable TextFit m_fit;
    mutable QFont m_fitFont;
    mutable QSize m_fitBox;
    mutable bool m_fitStale = true;

    // Text above the size that Qt keeps glyph images for is drawn from outlines, which at
    // a projector's size costs milliseconds per label: such a label keeps what it drew.
    bool keepsPicture() const;
    const QImage &picture() const;
    void forgetPicture() { m_picture = QImage(); }
    mutable QImage m_picture;
};
