// A small floating-point canvas for drawing the game's pictures from code:
// shapes are filled with 8 x 8 samples per pixel, layered front over back,
// and written as 8-bit RGBA PNG files. Everything is plain arithmetic, so the
// same program writes the same pixels on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A straight (not premultiplied) colour, each channel 0..1.
struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

Colour grey(float level, float alpha = 1.0f);
Colour mix(const Colour& from, const Colour& to, float t);
float clamp01(float value);
float smoothstep(float edge0, float edge1, float value);

// Points are in pixel units: pixel (i, j) covers [i, i+1) x [j, j+1).
using Shape = std::function<bool(float x, float y)>;
using Paint = std::function<Colour(float x, float y)>;

// The shape shrunk by d pixels: a point is kept when the shape holds it and
// the eight points d away around it. Good for outlines of a pixel or two.
Shape inset(const Shape& shape, float d);

struct Canvas {
    Canvas(int width, int height);

    // Lays the shape, coloured by paint, over what is there.
    void Fill(const Shape& shape, const Paint& paint);
    // Lays premultiplied pixel values (r, g, b, a, 0..1) at (x, y) over what is there.
    void Blend(int x, int y, float r, float g, float b, float a);

    // 8-bit straight RGBA, rows top to bottom. Fully transparent pixels take
    // the colour of their visible neighbours, so filtered drawing shows no
    // dark fringe at the edges.
    std::vector<std::uint8_t> ToRgba8() const;

    int width, height;
    std::vector<float> pixels;  // premultiplied RGBA, 4 floats per pixel
};

// Writes 8-bit RGBA pixels as a PNG file; false with a reason on failure.
bool SavePng(const std::vector<std::uint8_t>& rgba, int width, int height, const std::string& path,
             std::string& error);
