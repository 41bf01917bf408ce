#include "engine/window_layout.h"

#include <algorithm>

WindowFit FitWindow(const WindowLayout& kept, int sceneWidth, int sceneHeight, int availableWidth,
                    int availableHeight) {
    if (kept.width >= MinWindowWidth && kept.height >= MinWindowHeight && kept.width <= availableWidth &&
        kept.height <= availableHeight)
        return {kept.width, kept.height};
    if (sceneWidth <= 0 || sceneHeight <= 0) return {MinWindowWidth, MinWindowHeight};
    // Whole pixels on the limiting side, the other side rounded down, so the
    // window never exceeds what is available.
    int width = std::min(sceneWidth, availableWidth);
    int height = static_cast<int>(static_cast<long long>(width) * sceneHeight / sceneWidth);
    if (height > availableHeight) {
        height = std::min(sceneHeight, availableHeight);
        width = static_cast<int>(static_cast<long long>(height) * sceneWidth / sceneHeight);
    }
    // A desktop smaller than the smallest window still gets a window, which
    // the window manager may place partly off screen.
    return {std::max(width, MinWindowWidth), std::max(height, MinWindowHeight)};
}
