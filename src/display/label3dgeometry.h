#pragma once

#include "platform/alignment.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

// The decisions of the shadowed label that do not need a painter: which copies of the
// text are drawn where, how the text rectangle follows the vertical layout, which
// frames a border consists of and how a gradient is cut into strips.

enum TLabel3DBevel
{
    blNone,
    blLowered,
    blRaised,
    blShadow,
};

enum TLabel3DBorderStyle
{
    lbNone,
    lbNormal,
    lbLowered,
    lbRaised,
    lbInn,
    lbOut,
};

enum TGradientOrientation
{
    goHorizontal,
    goVertical,
    goHorizontal2,
    goVertical2,
};

enum TextLayout
{
    tlTop,
    tlCenter,
    tlBottom,
};

// Flags of multi-line text output into a rectangle.
enum TextOutFlag : unsigned
{
    tfLeft = 0x0,
    tfCenter = 0x1,
    tfRight = 0x2,
    tfHorizontalMask = 0x3,
    tfWordBreak = 0x10,
    tfExpandTabs = 0x40,
    tfCalcRect = 0x400,
    tfNoPrefix = 0x800,
};

unsigned alignmentFlag(TAlignment alignment);

// Offset of the shadow copy that bit `bit` (0..7) of ShadowNapr asks for.
QPoint shadowOffset(int bit, int shadowSize);

enum class LayerColor
{
    HighLight,
    Shadow,
    Text,
    GreyedText,
};

struct TextLayer
{
    QPoint offset;
    LayerColor color;
    bool operator==(const TextLayer &) const = default;
};

// The outputs of one layered text, in drawing order; the last one is the text itself.
QList<TextLayer> textLayers(TLabel3DBevel bevel, int shadowNapr, int shadowSize, bool enabled);

// The flags every layer is drawn with. Without a bevel the caller's flags stand as given.
unsigned layeredTextFlags(unsigned flags, TLabel3DBevel bevel, bool wordWrap, bool showAccelChar);

// Text that is measured: an empty caption still has the height of one line.
QString measuredText(const QString &caption, bool showAccelChar);

// Where the text is drawn for a vertical layout: `r` is the text area and `measured`
// the measured text (same top-left as r).
QRect layoutTextRect(const QRect &r, const QRect &measured, TextLayout layout);

enum class FrameColor
{
    Border,
    ButtonShadow,
    ButtonHighlight,
};

struct BevelFrame
{
    FrameColor topLeft;
    FrameColor bottomRight;
    bool operator==(const BevelFrame &) const = default;
};

// The bevel frames of a border style, outermost first; each is BorderWidth pixels wide.
QList<BevelFrame> borderFrames(TLabel3DBorderStyle style);

struct GradientStrip
{
    QRect rect;
    QColor color;
};

// One-pixel strips of a gradient, in drawing order (later strips overdraw earlier ones).
QList<GradientStrip> gradientStrips(
    const QRect &r, const QColor &first, const QColor &last, TGradientOrientation orientation);
