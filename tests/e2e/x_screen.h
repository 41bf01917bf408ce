// Screenshots of a window on an X display, and what the whole-game test
// looks for in them: the blue-tinted ghost, the yellow-tinted munchets and
// white text. Empty when the test was built without Xlib.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Screenshot {
    int width = 0, height = 0;          // pixels
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row by row from the top left

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// A place on the screenshot, pixels from its top left.
struct ScreenPoint {
    float x = 0, y = 0;
};

// One connection to an X display, closed on destruction.
struct XScreen {
    explicit XScreen(const std::string& displayName);
    ~XScreen();
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    bool Connected() const { return display != nullptr; }
    // The window's whole content; false when the window cannot be read.
    bool Grab(unsigned long window, Screenshot& out) const;

    void* display = nullptr;  // the Xlib Display
};

// True when the test can take screenshots at all.
bool CanTakeScreenshots();

// The centre of the ghost's body: drawn in blue (red and green 0) while its
// charge is 0 or more. Nothing when fewer than minPixels such pixels show.
std::optional<ScreenPoint> FindGhost(const Screenshot& shot, int minPixels = 40);

// The munchet pixel nearest to `from`: munchets are drawn yellow (the tint
// leaves no blue), which neither the ghost, the food (green), the texts
// (white) nor the goal's stone shares; the goal's area is left out.
std::optional<ScreenPoint> NearestMunchet(const Screenshot& shot, ScreenPoint from);

// How many near-white pixels (text) lie in the rectangle [x0, x1) x [y0, y1).
int CountWhitePixels(const Screenshot& shot, int x0, int y0, int x1, int y1);
