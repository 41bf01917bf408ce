#include "engine/quad_run.h"

std::vector<std::uint16_t> QuadIndices() {
    std::vector<std::uint16_t> indices;
    indices.reserve(6 * MaxQuadsPerDraw);
    for (std::size_t quad = 0; quad < MaxQuadsPerDraw; ++quad)
        for (const int corner : {0, 1, 2, 0, 2, 3})
            indices.push_back(static_cast<std::uint16_t>(4 * quad + static_cast<std::size_t>(corner)));
    return indices;
}
