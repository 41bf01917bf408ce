// How the game's window is laid out on the desktop: what the settings file
// keeps between runs and the window opens with. Full screen ignores it.
#pragma once

// Sizes are the window's inside (the scene and its black bars), pixels.
struct WindowLayout {
    // The size the window had when it was last neither maximised nor full
    // screen; 0 x 0: the largest 4:3 window that fits the desktop, at most
    // the scene's own size.
    int width = 0, height = 0;
    bool maximised = false;
    // The scene drawn at whole multiples of its size (1x, 2x, ...) when the
    // window is big enough for 1x, for crisp pixels; otherwise scaled to fit.
    bool wholeMultiples = false;

    bool operator==(const WindowLayout&) const = default;
};

// The smallest window the player may make, pixels: below it the text is
// unreadable.
inline constexpr int MinWindowWidth = 320, MinWindowHeight = 240;

struct WindowFit {
    int width = 0, height = 0;
};

// The window to open inside available pixels (the desktop's usable area
// less the window's frame): the kept size when it still fits (and is no
// smaller than the smallest window), else the largest size with the
// scene's aspect that fits and is no larger than the scene itself.
WindowFit FitWindow(const WindowLayout& kept, int sceneWidth, int sceneHeight, int availableWidth,
                    int availableHeight);
