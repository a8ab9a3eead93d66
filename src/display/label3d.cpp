#include "display/label3d.h"

#include "display/textblock.h"

#include <QEvent>
#include <QFontInfo>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cstdlib>

namespace {

// Qt draws text from glyph images up to this pixel size, larger text from outlines.
constexpr int kLargestCachedGlyph = 64;

QFont fittedFont(const QFont &font, const TextFit &fit)
{
    if (fit.pixelSize == 0)
        return font;
    QFont smaller = font;
    smaller.setPixelSize(fit.pixelSize);
    return smaller;
}

} // namespace

TLabel3D::TLabel3D(QWidget *parent)
    : QWidget(parent)
    , m_fontColor(palette().color(QPalette::Active, QPalette::WindowText))
    , m_color(palette().color(QPalette::Active, QPalette::Button))
    , m_highLightColor(palette().color(QPalette::Active, QPalette::Light))
    , m_shadowColor(palette().color(QPalette::Active, QPalette::Dark))
{
    refit();
}

TLabel3D::~TLabel3D() = default;

template <typename T> void TLabel3D::assign(T &member, const T &value)
{
    if (member == value)
        return;
    member = value;
    forgetPicture();
    update();
}

template <typename T> void TLabel3D::assignAndRefit(T &member, const T &value)
{
    if (member == value)
        return;
    assign(member, value);
    refit();
}

void TLabel3D::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    refit();
    forgetPicture();
    update();
    updateGeometry();
}

void TLabel3D::setFontColor(const QColor &color)
{
    assign(m_fontColor, color);
}
void TLabel3D::setColor(const QColor &color)
{
    assign(m_color, color);
}
void TLabel3D::setAlignment(TAlignment alignment)
{
    assign(m_alignment, alignment);
}
void TLabel3D::setLayout(TextLayout layout)
{
    assign(m_layout, layout);
}
void TLabel3D::setWordWrap(bool on)
{
    assignAndRefit(m_wordWrap, on);
}
void TLabel3D::setTransparent(bool on)
{
    assign(m_transparent, on);
}
void TLabel3D::setShowAccelChar(bool on)
{
    assignAndRefit(m_showAccelChar, on);
}
void TLabel3D::setFirstColor(const QColor &color)
{
    assign(m_firstColor, color);
}
void TLabel3D::setLastColor(const QColor &color)
{
    assign(m_lastColor, color);
}
void TLabel3D::setFillGradient(bool on)
{
    assign(m_fillGradient, on);
}
void TLabel3D::setGradientOrientation(TGradientOrientation orientation)
{
    assign(m_gradientOrientation, orientation);
}
void TLabel3D::setHighLightColor(const QColor &color)
{
    assign(m_highLightColor, color);
}
void TLabel3D::setShadowColor(const QColor &color)
{
    assign(m_shadowColor, color);
}
void TLabel3D::setBevel(TLabel3DBevel bevel)
{
    assignAndRefit(m_bevel, bevel);
}
void TLabel3D::setShadowSize(quint8 size)
{
    assignAndRefit(m_shadowSize, size);
}
void TLabel3D::setShadowNapr(int directions)
{
    assignAndRefit(m_shadowNapr, directions);
}
void TLabel3D::setBorderColor(const QColor &color)
{
    assign(m_borderColor, color);
}
void TLabel3D::setBorderWidth(int width)
{
    assignAndRefit(m_borderWidth, width);
}
void TLabel3D::setBorderStyle(TLabel3DBorderStyle style)
{
    assignAndRefit(m_borderStyle, style);
}

QColor TLabel3D::layerColor(LayerColor role) const
{
    switch (role) {
    case LayerColor::HighLight:
        return m_highLightColor;
    case LayerColor::Shadow:
        return m_shadowColor;
    case LayerColor::GreyedText:
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    case LayerColor::Text:
        break;
    }
    return m_fontColor;
}

QColor TLabel3D::frameColor(FrameColor role) const
{
    switch (role) {
    case FrameColor::ButtonShadow:
        return palette().color(QPalette::Active, QPalette::Dark);
    case FrameColor::ButtonHighlight:
        return palette().color(QPalette::Active, QPalette::Light);
    case FrameColor::Border:
        break;
    }
    return m_borderColor;
}

unsigned TLabel3D::paintFlags() const
{
    return layeredTextFlags(
        alignmentFlag(m_alignment) | tfWordBreak | tfExpandTabs, m_bevel, m_wordWrap, m_showAccelChar);
}

QSize TLabel3D::fitBox() const
{
    const int inset = int(borderFrames(m_borderStyle).size()) * std::max(m_borderWidth, 0);
    // Wrapped text must be measured at the width it is drawn in, or it would break elsewhere.
    int spread = 0;
    if (!(paintFlags() & tfWordBreak)) {
        for (const TextLayer &layer : textLayers(m_bevel, m_shadowNapr, m_shadowSize, isEnabled()))
            spread = std::max(spread, std::abs(layer.offset.x()));
    }
    return { width() - 2 * inset - 2 * spread, height() - 2 * inset };
}

void TLabel3D::refit()
{
    m_fitStale = true;
}

void TLabel3D::ensureFit() const
{
    // Qt holds back the resize event of a hidden label until it is shown, so one that is
    // painted straight away (into a picture) is fitted to the size it has now.
    const QSize box = fitBox();
    if (!m_fitStale && box == m_fitBox)
        return;
    m_fitBox = box;
    m_fit = fitText(m_caption, font(), m_fitBox, paintFlags());
    m_fitFont = fittedFont(font(), m_fit);
    m_fitStale = false;
}

void TLabel3D::Paint(QPainter &painter) const
{
    painter.save();
    QRect r = rect();
    for (const BevelFrame &frame : borderFrames(m_borderStyle))
        DrawBevelFrame(painter, r, frameColor(frame.topLeft), frameColor(frame.bottomRight), m_borderWidth);

    if (m_fillGradient)
        GradientFill(painter, r, m_firstColor, m_lastColor, m_gradientOrientation);
    else if (!m_transparent)
        painter.fillRect(r, m_color);
    painter.setBrush(Qt::NoBrush);

    // Nothing is drawn for an empty caption, so nothing is measured either.
    if (m_caption.isEmpty()) {
        painter.restore();
        return;
    }
    const unsigned flags = paintFlags();
    ensureFit();
    const TextFit &fit = m_fit;
    const QFont &textFont = m_fitFont;

    // Measuring and drawing share one layout: they differ only in the measuring
    // blank that a lone accelerator ampersand gets.
    const TextBlock text(m_caption, textFont, r.width(), flags, fit.maxLines);
    QRect textRect = r;
    if (m_layout != tlTop) {
        const QString measured = measuredText(m_caption, m_showAccelChar);
        const QSize size
            = measured == m_caption ? text.size() : TextBlock(measured, textFont, r.width(), flags).size();
        textRect = layoutTextRect(r, QRect(r.topLeft(), size), m_layout);
    }
    drawLayers(painter, text, textRect, textFont);
    painter.restore();
}

void TLabel3D::DrawLayeredText(QPainter &painter, QRect &rect, unsigned flags) const
{
    const bool measuring = flags & tfCalcRect;
    const QString caption = measuring ? measuredText(m_caption, m_showAccelChar) : m_caption;
    const TextBlock text(caption, font(), rect.width(),
        layeredTextFlags(flags & ~unsigned(tfCalcRect), m_bevel, m_wordWrap, m_showAccelChar));
    if (measuring) {
        rect.setSize(text.size());
        return;
    }
    painter.save();
    drawLayers(painter, text, rect, font());
    painter.restore();
}

void TLabel3D::drawLayers(
    QPainter &painter, const TextBlock &text, const QRect &rect, const QFont &font) const
{
    if (text.displayText().isEmpty())
        return;
    painter.setFont(font);
    for (const TextLayer &layer : textLayers(m_bevel, m_shadowNapr, m_shadowSize, isEnabled())) {
        painter.setPen(layerColor(layer.color));
        text.draw(painter, rect.translated(layer.offset));
    }
}

void TLabel3D::GradientFill(QPainter &painter, const QRect &rect, const QColor &first, const QColor &last,
    TGradientOrientation orientation)
{
    for (const GradientStrip &strip : gradientStrips(rect, first, last, orientation))
        painter.fillRect(strip.rect, strip.color);
}

void TLabel3D::DrawBevelFrame(
    QPainter &painter, QRect &rect, const QColor &topLeft, const QColor &bottomRight, int width)
{
    for (int i = 0; i < width; ++i) {
        const int l = rect.left();
        const int t = rect.top();
        const int w = rect.width();
        const int h = rect.height();
        if (w > 0 && h > 0) {
            painter.fillRect(QRect(l, t, w - 1, 1), topLeft);
            painter.fillRect(QRect(l, t, 1, h - 1), topLeft);
            painter.fillRect(QRect(l + w - 1, t, 1, h), bottomRight);
            painter.fillRect(QRect(l, t + h - 1, w, 1), bottomRight);
        }
        rect.adjust(1, 1, -1, -1);
    }
}

QSize TLabel3D::sizeHint() const
{
    const int inset = int(borderFrames(m_borderStyle).size()) * std::max(m_borderWidth, 0);
    const unsigned flags
        = layeredTextFlags(alignmentFlag(m_alignment) | tfExpandTabs, m_bevel, m_wordWrap, m_showAccelChar);
    const TextBlock text(measuredText(m_caption, m_showAccelChar), font(), QWIDGETSIZE_MAX, flags);
    return text.size() + QSize(2 * inset, 2 * inset);
}

bool TLabel3D::keepsPicture() const
{
    // A size in pixels is the size drawn; only a size in points needs the font loaded.
    const int pixels = font().pixelSize();
    return (pixels > 0 ? pixels : QFontInfo(font()).pixelSize()) > kLargestCachedGlyph;
}

const QImage &TLabel3D::picture() const
{
    // Made while painting, but only ever the same pixels Paint() gives.
    const qreal ratio = devicePixelRatioF();
    if ((m_picture.isNull() || m_picture.devicePixelRatio() != ratio) && !size().isEmpty()) {
        m_picture = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        m_picture.setDevicePixelRatio(ratio);
        m_picture.fill(Qt::transparent);
        QPainter painter(&m_picture);
        Paint(painter);
    }
    return m_picture;
}

void TLabel3D::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (keepsPicture())
        painter.drawImage(0, 0, picture());
    else
        Paint(painter);
}

void TLabel3D::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refit();
    forgetPicture();
}

void TLabel3D::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::EnabledChange:
        refit();
        forgetPicture();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        forgetPicture();
        break;
    default:
        break;
    }
}
