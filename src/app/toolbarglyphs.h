#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

// The glyphs of the main window's tool-bar buttons, named after the buttons. They are drawn
// for a dark tool bar and scale to any size (32 px fits a 40 px bar).
enum class ToolbarGlyph
{
    bHelp,
    bCFG,
    bInfo,
    sbLoad,
    sbSave,
    sbTV,
    bVideo,
    sbCLS,
    sbPrint,
    bLive,
};

inline constexpr ToolbarGlyph kAllToolbarGlyphs[] = { ToolbarGlyph::bHelp, ToolbarGlyph::bCFG,
    ToolbarGlyph::bInfo, ToolbarGlyph::sbLoad, ToolbarGlyph::sbSave, ToolbarGlyph::sbTV, ToolbarGlyph::bVideo,
    ToolbarGlyph::sbCLS, ToolbarGlyph::sbPrint, ToolbarGlyph::bLive };

// The tool bar's colour the glyphs are made to stand out on.
QColor toolbarColor();

// The size the tool bar's buttons show their glyphs at, in device-independent pixels.
inline constexpr int kToolbarGlyphSize = 28;

// One glyph, size x size device pixels on a transparent background. Active is the lit look
// under the mouse, Disabled a faint grey; Selected looks like Normal. Each glyph is drawn once
// for each size and kept (GUI thread only).
QImage renderToolbarGlyph(ToolbarGlyph glyph, int size, QIcon::Mode mode = QIcon::Normal);

// Draws every glyph at this size ahead of the tool bar's first paint.
void drawToolbarGlyphsAhead(int size);

// An icon that draws the glyph for every size, mode and device pixel ratio asked for.
QIcon toolbarIcon(ToolbarGlyph glyph);
