#include "tools/artgen/icon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr float Pi = 3.14159265f;
// Enough points on every curve that the polygon strays from it by well under
// a pixel at the largest size.
constexpr int ArcSteps = 48;

Colour rgb(int hex, float opacity = 1.0f) {
    return {static_cast<float>((hex >> 16) & 255) / 255.0f, static_cast<float>((hex >> 8) & 255) / 255.0f,
            static_cast<float>(hex & 255) / 255.0f, opacity};
}

// Points on an ellipse from angle a0 to a1 (radians, y downward, so -pi/2 is
// the top), both ends included.
void addArc(std::vector<IconPoint>& out, float cx, float cy, float rx, float ry, float a0, float a1) {
    for (int i = 0; i <= ArcSteps; ++i) {
        const float a = a0 + (a1 - a0) * static_cast<float>(i) / ArcSteps;
        out.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
}

IconShape ellipse(float cx, float cy, float rx, float ry, Colour fill) {
    IconShape shape{{}, fill};
    addArc(shape.outline, cx, cy, rx, ry, 0.0f, 2.0f * Pi);
    shape.outline.pop_back();  // the start again
    return shape;
}

IconShape roundedSquare(float from, float to, float radius, Colour fill) {
    IconShape shape{{}, fill};
    const float near = from + radius, far = to - radius;
    addArc(shape.outline, far, near, radius, radius, -Pi / 2, 0.0f);
    addArc(shape.outline, far, far, radius, radius, 0.0f, Pi / 2);
    addArc(shape.outline, near, far, radius, radius, Pi / 2, Pi);
    addArc(shape.outline, near, near, radius, radius, Pi, 1.5f * Pi);
    return shape;
}

// A dome over straight sides and a hem of three scallops, as the game's ghost.
IconShape ghost(float cx, float domeY, float radius, float hemY, Colour fill) {
    IconShape shape{{}, fill};
    addArc(shape.outline, cx, domeY, radius, radius, Pi, 2.0f * Pi);
    const float left = cx - radius, width = 2.0f * radius, amplitude = radius * 0.16f;
    for (int i = 0; i <= 3 * ArcSteps; ++i) {
        const float t = 1.0f - static_cast<float>(i) / (3 * ArcSteps);  // right to left
        shape.outline.push_back({left + width * t, hemY - amplitude * std::cos(6.0f * Pi * t)});
    }
    return shape;
}

// A round biter whose wedge of a mouth opens toward -x.
IconShape munchet(float cx, float cy, float radius, float mouthHalfAngle, Colour fill) {
    IconShape shape{{}, fill};
    addArc(shape.outline, cx, cy, radius, radius, Pi + mouthHalfAngle, 3.0f * Pi - mouthHalfAngle);
    shape.outline.push_back({cx - radius * 0.15f, cy});
    return shape;
}

// Even-odd rule, so any outline the shapes give is filled as the SVG's
// fill-rule says.
bool inside(const std::vector<IconPoint>& outline, float x, float y) {
    bool in = false;
    for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const IconPoint& a = outline[i];
        const IconPoint& b = outline[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

}  // namespace

std::vector<IconShape> IconShapes() {
    const Colour food = rgb(0x52d35a), eyeWhite = rgb(0xffffff), pupil = rgb(0x151833);
    std::vector<IconShape> shapes;
    shapes.push_back(roundedSquare(16.0f, 240.0f, 44.0f, rgb(0x1d2244)));
    for (const IconPoint p :
         {IconPoint{174, 80}, IconPoint{204, 98}, IconPoint{184, 118}, IconPoint{212, 134}})
        shapes.push_back(ellipse(p.x, p.y, 9.0f, 6.5f, food));
    shapes.push_back(munchet(186.0f, 184.0f, 32.0f, 0.6f, rgb(0xf7d21e)));
    shapes.push_back(ellipse(192.0f, 166.0f, 5.0f, 5.0f, pupil));
    shapes.push_back(ghost(98.0f, 110.0f, 58.0f, 190.0f, rgb(0xe63a30)));
    shapes.push_back(ellipse(74.0f, 80.0f, 18.0f, 11.0f, rgb(0xffffff, 0.3f)));
    for (const float eyeX : {82.0f, 122.0f}) {
        shapes.push_back(ellipse(eyeX, 112.0f, 13.0f, 16.0f, eyeWhite));
        shapes.push_back(ellipse(eyeX + 6.0f, 117.0f, 7.5f, 7.5f, pupil));
    }
    return shapes;
}

std::string IconSvg(const std::vector<IconShape>& shapes) {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
        "  <title>Munchet Fast Prototype</title>\n";
    char number[64];
    for (const IconShape& shape : shapes) {
        svg += "  <path fill-rule=\"evenodd\" d=\"M";
        for (std::size_t i = 0; i < shape.outline.size(); ++i) {
            std::snprintf(number, sizeof number, "%s%.2f %.2f", i == 0 ? "" : " L", shape.outline[i].x,
                          shape.outline[i].y);
            svg += number;
        }
        const auto channel = [](float v) { return static_cast<int>(std::lround(clamp01(v) * 255.0f)); };
        std::snprintf(number, sizeof number, " Z\" fill=\"#%02x%02x%02x\"", channel(shape.fill.r),
                      channel(shape.fill.g), channel(shape.fill.b));
        svg += number;
        if (shape.fill.a < 1.0f) {
            std::snprintf(number, sizeof number, " fill-opacity=\"%.2f\"", shape.fill.a);
            svg += number;
        }
        svg += "/>\n";
    }
    return svg + "</svg>\n";
}

Canvas DrawIcon(const std::vector<IconShape>& shapes, int size) {
    Canvas canvas(size, size);
    const float unitsPerPixel = IconUnits / static_cast<float>(size);
    for (const IconShape& shape : shapes) {
        float left = IconUnits, top = IconUnits, right = 0.0f, bottom = 0.0f;
        for (const IconPoint& p : shape.outline) {
            left = std::min(left, p.x);
            right = std::max(right, p.x);
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        const std::vector<IconPoint>& outline = shape.outline;
        canvas.Fill(
            [&, unitsPerPixel](float x, float y) {
                const float u = x * unitsPerPixel, v = y * unitsPerPixel;
                return u >= left && u <= right && v >= top && v <= bottom && inside(outline, u, v);
            },
            [fill = shape.fill](float, float) { return fill; });
    }
    return canvas;
}
