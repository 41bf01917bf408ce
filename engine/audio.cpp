// Placeholder until the OpenAL output is written: channels and glides are
// tracked, nothing is heard.
#include "engine/audio.h"

#include <fstream>

void Audio::Open(Mode, std::string& note) { note = "sound output not available; running silently"; }
void Audio::Close() { slides.clear(); }

EffectHandle Audio::LoadEffect(const char* path, std::string& error) {
    if (!std::ifstream(path)) {
        error = "cannot open file";
        return 0;
    }
    return ++effectCount;
}

ChannelHandle Audio::PlayEffect(EffectHandle effect, int, int, float, bool) {
    return effect ? nextChannel++ : 0;
}

MusicHandle Audio::LoadMusic(const char* path, std::string& error) {
    if (!std::ifstream(path)) {
        error = "cannot open file";
        return 0;
    }
    return ++musicCount;
}

ChannelHandle Audio::PlayMusic(MusicHandle music, bool, int) { return music ? nextChannel++ : 0; }

void Audio::SlideTo(ChannelHandle channel, float time, int volume, int, float) {
    if (!channel) return;
    slides.push_back({channel, 0, static_cast<float>(volume), time, 0});
}

bool Audio::IsSliding(ChannelHandle channel) const {
    for (const Slide& slide : slides)
        if (slide.channel == channel && slide.elapsed < slide.duration) return true;
    return false;
}

void Audio::Update(float dt) {
    for (Slide& slide : slides) slide.elapsed += dt;
    std::erase_if(slides, [](const Slide& slide) { return slide.elapsed >= slide.duration; });
}
