#pragma once

// Horizontal alignment of a text, shared by the grid and the labels.
enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter,
};
