// The game's desktop icon: a red ghost herding green food toward a yellow
// munchet on a night-blue tile. It is a handful of flat polygons, written
// both as an SVG file and as PNG pictures at the sizes desktops ask for;
// both come from the same polygons, so every size shows the same picture.
#pragma once

#include <string>
#include <vector>

#include "tools/artgen/canvas.h"

// The sizes, in pixels, of the square PNG icons desktops look up in the
// hicolor theme.
inline constexpr int IconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon's design space: IconUnits x IconUnits, y downward.
inline constexpr float IconUnits = 256.0f;

struct IconPoint {
    float x, y;  // design units
};

// One filled, closed polygon, laid over the shapes before it.
struct IconShape {
    std::vector<IconPoint> outline;  // at least three points, not repeated at the end
    Colour fill;                     // straight colour; a is the opacity
};

// The icon's shapes, back to front.
std::vector<IconShape> IconShapes();

// The shapes as an SVG document with a viewBox of the design space; the
// numbers are written with two decimals, so the text is the same on every run.
std::string IconSvg(const std::vector<IconShape>& shapes);

// The shapes drawn on a size x size canvas (the design space scaled to fit).
Canvas DrawIcon(const std::vector<IconShape>& shapes, int size);
