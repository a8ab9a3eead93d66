#include "display/label3dgeometry.h"

unsigned alignmentFlag(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return tfRight;
    case taCenter:
        return tfCenter;
    case taLeftJustify:
        break;
    }
    return tfLeft;
}

QPoint shadowOffset(int bit, int shadowSize)
{
    const int s = shadowSize;
    static constexpr QPoint kDirections[8] = {
        { 1, 1 },
        { -1, 1 },
        { -1, -1 },
        { 1, -1 },
        { 1, 0 },
        { 0, 1 },
        { -1, 0 },
        { 0, -1 },
    };
    if (bit < 0 || bit > 7)
        return {};
    return kDirections[bit] * s;
}

QList<TextLayer> textLayers(TLabel3DBevel bevel, int shadowNapr, int shadowSize, bool enabled)
{
    if (bevel == blNone)
        return { { QPoint(), LayerColor::Text } };

    QList<TextLayer> layers;
    const LayerColor second = bevel == blLowered ? LayerColor::HighLight : LayerColor::Shadow;
    if (bevel != blShadow && enabled) {
        const LayerColor first = bevel == blLowered ? LayerColor::Shadow : LayerColor::HighLight;
        layers.append({ QPoint(-shadowSize, -shadowSize), first });
    }
    for (int bit = 0; bit < 8; ++bit) {
        if (shadowNapr & (1 << bit))
            layers.append({ shadowOffset(bit, shadowSize), second });
    }
    layers.append({ QPoint(), enabled ? LayerColor::Text : LayerColor::GreyedText });
    return layers;
}

unsigned layeredTextFlags(unsigned flags, TLabel3DBevel bevel, bool wordWrap, bool showAccelChar)
{
    if (!showAccelChar)
        flags |= tfNoPrefix;
    if (bevel == blNone)
        return flags;
    if (wordWrap)
        flags |= tfWordBreak;
    else
        flags &= ~unsigned(tfWordBreak);
    return flags;
}

QString measuredText(const QString &caption, bool showAccelChar)
{
    if (caption.isEmpty() || (showAccelChar && caption == QLatin1String("&")))
        return caption + QLatin1Char(' ');
    return caption;
}

QRect layoutTextRect(const QRect &r, const QRect &measured, TextLayout layout)
{
    if (layout == tlTop)
        return r;
    const int d = r.height() - measured.height();
    QRect result = r.translated(0, layout == tlCenter ? d / 2 : d);
    if (measured.height() > r.height()) {
        if (measured.bottom() > result.bottom())
            result.setBottom(measured.bottom());
        if (measured.top() < result.top())
            result.setTop(measured.top());
    }
    return result;
}

QList<BevelFrame> borderFrames(TLabel3DBorderStyle style)
{
    const BevelFrame lowered { FrameColor::ButtonShadow, FrameColor::ButtonHighlight };
    const BevelFrame raised { FrameColor::ButtonHighlight, FrameColor::ButtonShadow };
    switch (style) {
    case lbNone:
        return {};
    case lbNormal:
        return { { FrameColor::Border, FrameColor::Border } };
    case lbLowered:
        return { lowered };
    case lbRaised:
        return { raised };
    case lbInn:
        return { lowered, raised };
    case lbOut:
        return { raised, lowered };
    }
    return {};
}

QList<GradientStrip> gradientStrips(
    const QRect &r, const QColor &first, const QColor &last, TGradientOrientation orientation)
{
    int steps = 0;
    switch (orientation) {
    case goHorizontal:
        steps = r.width() - 1;
        break;
    case goVertical:
        steps = r.height() - 1;
        break;
    case goHorizontal2:
        steps = r.width() / 2;
        break;
    case goVertical2:
        steps = r.height() / 2;
        break;
    }
    QList<GradientStrip> strips;
    if (steps <= 0)
        return strips;

    const QColor a = first.toRgb();
    const QColor b = last.toRgb();
    const auto channel = [steps](int k, int from, int to) { return ((steps - k) * from + k * to) / steps; };
    for (int k = 0; k <= steps; ++k) {
        const QColor color(
            channel(k, a.red(), b.red()), channel(k, a.green(), b.green()), channel(k, a.blue(), b.blue()));
        switch (orientation) {
        case goHorizontal:
            strips.append({ QRect(r.left() + k, r.top(), 1, r.height()), color });
            break;
        case goVertical:
            strips.append({ QRect(r.left(), r.top() + k, r.width(), 1), color });
            break;
        case goHorizontal2:
            strips.append({ QRect(r.left() + k, r.top(), 1, r.height()), color });
            strips.append({ QRect(r.left() + r.width() - k - 1, r.top(), 1, r.height()), color });
            break;
        case goVertical2:
            strips.append({ QRect(r.left(), r.top() + k, r.width(), 1), color });
            strips.append({ QRect(r.left(), r.top() + r.height() - k - 1, r.width(), 1), color });
            break;
        }
    }
    return strips;
}
