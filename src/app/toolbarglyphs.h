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

// One glyph, size x size device pixels on a transparent background. Active is the lit look
// under the mouse, Disabled a faint grey; Selected looks like Normal.
QImage renderToolbarGlyph(ToolbarGlyph glyph, int size, QIcon::Mode mode = QIcon::Normal);

// An icon that draws the glyph afresh for every size, mode and device pixel ratio.
QIcon toolbarIcon(ToolbarGlyph glyph);
