#include "engine/sdl/textures.h"

#include <SDL.h>
#include <SDL_image.h>

TextureHandle TextureTable::Load(const char* path, std::string& error) {
    SDL_Surface* loaded = IMG_Load(path);
    if (!loaded) {
        error = IMG_GetError();
        return 0;
    }
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ABGR8888, 0);
    SDL_FreeSurface(loaded);
    if (!rgba) {
        error = SDL_GetError();
        return 0;
    }
    static std::uint64_t nextSerial = 0;
    Entry entry;
    entry.pixels.reset(rgba);
    entry.path = path;
    entry.serial = ++nextSerial;
    entries.push_back(std::move(entry));
    return static_cast<TextureHandle>(entries.size());
}

const TextureTable::Entry* TextureTable::Find(TextureHandle texture) const {
    if (texture == 0 || texture > entries.size()) return nullptr;
    return &entries[texture - 1];
}

int TextureTable::Width(TextureHandle texture) const {
    const Entry* entry = Find(texture);
    return entry ? entry->pixels->w : 0;
}

int TextureTable::Height(TextureHandle texture) const {
    const Entry* entry = Find(texture);
    return entry ? entry->pixels->h : 0;
}

void TextureTable::FreeSurface::operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
