// Placeholder until the SDL renderer is written.
#include "engine/video.h"

bool Video::Open(const VideoConfig&, std::string& error) {
    error = "no window support yet";
    return false;
}
void Video::Close() {}
void Video::BeginScene() {}
void Video::Clear(std::uint32_t) {}
void Video::Submit(const Quad&, const TextureTable&) {}
void Video::EndScene() {}
bool Video::Screenshot(int, int, std::uint32_t, const std::vector<Quad>&, const TextureTable&, const char*,
                       std::string& error) {
    error = "no screenshot support yet";
    return false;
}
