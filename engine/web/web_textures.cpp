#include "engine/web/web_textures.h"

#include <GLES2/gl2.h>

// emscripten's own copy of stb_image, linked with -sSTB_IMAGE=1; its header
// is not among the system's, so the three calls used are declared here.
extern "C" {
unsigned char* stbi_load(const char* path, int* width, int* height, int* channels, int wantedChannels);
void stbi_image_free(void* pixels);
const char* stbi_failure_reason(void);
}

TextureHandle WebTextures::Load(const char* path, bool upload, std::string& error) {
    if (!path) {
        error = "no path";
        return 0;
    }
    int width = 0, height = 0, channels = 0;
    // Decoded here, whole and exact (a browser's canvas would round the
    // colours of translucent pixels): RGBA, rows top first.
    unsigned char* pixels = stbi_load(path, &width, &height, &channels, 4);
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        error = std::string("cannot read or decode it: ") + (reason ? reason : "unknown reason");
        return 0;
    }
    Entry entry;
    entry.width = width;
    entry.height = height;
    entry.path = path;
    if (upload) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        // Bilinear, like the window; clamped, which WebGL 1 also needs for
        // sizes that are not powers of two.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        entry.texture = texture;
    }
    stbi_image_free(pixels);
    entries.push_back(std::move(entry));
    return static_cast<TextureHandle>(entries.size());
}

const WebTextures::Entry* WebTextures::Find(TextureHandle texture) const {
    if (texture == 0 || texture > entries.size()) return nullptr;
    return &entries[texture - 1];
}

int WebTextures::Width(TextureHandle texture) const {
    const Entry* entry = Find(texture);
    return entry ? entry->width : 0;
}

int WebTextures::Height(TextureHandle texture) const {
    const Entry* entry = Find(texture);
    return entry ? entry->height : 0;
}

void WebTextures::Clear() {
    for (const Entry& entry : entries)
        if (entry.texture) glDeleteTextures(1, &entry.texture);
    entries.clear();
}
