#include "engine/web/web_audio.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double GlideTolerance = 1e-4;
constexpr float MinPitch = 1.0f / 64.0f, MaxPitch = 16.0f;

double Pitch(float pitch) { return std::isnan(pitch) ? 1.0 : std::clamp(pitch, MinPitch, MaxPitch); }
double Volume(int volume) { return std::clamp(volume, 0, 100) / 100.0; }
double Pan(int pan) { return std::clamp(pan, -100, 100) / 100.0; }

}  // namespace

// The page's sound lives in Module.munchetAudio: the context, the decoded
// sounds by number, the playing channels by handle. Every entry point
// catches what the browser throws: sound never stops the game.
EM_JS(int, WebAudioOpen, (), {
    if (Module.munchetAudio) return 1;
    var Context = typeof AudioContext != 'undefined' ? AudioContext : null;
    if (!Context && typeof webkitAudioContext != 'undefined') Context = webkitAudioContext;
    if (!Context) return 0;
    var context;
    try {
        context = new Context();
    } catch (e) {
        return 0;
    }
    var audio = {context : context, sounds : {}, channels : {}};
    audio.resume = function() {
        if (context.state == 'suspended') context.resume().catch(function(){});
    };
    window.addEventListener('keydown', audio.resume, true);
    window.addEventListener('pointerdown', audio.resume, true);
    Module.munchetAudio = audio;
    // "suspended" until the browser lets the page sound, then "running".
    Module.munchetAudioState = function() { return context.state; };
    return 1;
});

EM_JS(void, WebAudioClose, (), {
    var audio = Module.munchetAudio;
    if (!audio) return;
    delete Module.munchetAudio;
    window.removeEventListener('keydown', audio.resume, true);
    window.removeEventListener('pointerdown', audio.resume, true);
    try {
        audio.context.close();
    } catch (e) {
    }
});

EM_JS(void, WebAudioDecode, (int sound, const void* bytes, int size), {
    var audio = Module.munchetAudio;
    if (!audio) return;
    var entry = {buffer : null, failed : false, waiting : []};
    audio.sounds[sound] = entry;
    var done = function(buffer) {
        entry.buffer = buffer;
        var waiting = entry.waiting;
        entry.waiting = [];
        waiting.forEach(function(start) { start(); });
    };
    var failed = function(e) {
        entry.failed = true;
        entry.waiting = [];
        console.warn('Munchet: a sound cannot be decoded: ' + e);
    };
    try {
        var copy = HEAPU8.slice(bytes, bytes + size).buffer;
        var promise = audio.context.decodeAudioData(copy, done, failed);
        if (promise && promise.catch) promise.catch(function(){});
    } catch (e) {
        failed(e);
    }
});

// Where a looping play of the sound goes back to, in seconds from its start.
EM_JS(void, WebAudioLoopFrom, (int sound, double seconds), {
    var entry = Module.munchetAudio && Module.munchetAudio.sounds[sound];
    if (entry) entry.loopStart = seconds;
});

EM_JS(int, WebAudioPlay, (int channel, int sound, double volume, double pan, double rate, int loop, int wait),
      {
          var audio = Module.munchetAudio;
          var entry = audio && audio.sounds[sound];
          if (!entry || entry.failed) return 0;
          var context = audio.context;
          if (!wait && (!entry.buffer || context.state != 'running')) return 0;
          try {
              var gain = context.createGain();
              gain.gain.value = volume;
              var panner = context.createStereoPanner ? context.createStereoPanner() : null;
              if (panner) {
                  panner.pan.value = pan;
                  gain.connect(panner);
                  panner.connect(context.destination);
              } else {
                  gain.connect(context.destination);
              }
              var playing = {gain : gain, panner : panner, source : null, rate : rate};
              audio.channels[channel] = playing;
              var start = function() {
                  if (audio.channels[channel] != playing) return;
                  var source = context.createBufferSource();
                  source.buffer = entry.buffer;
                  source.loop = !!loop;
                  if (loop && entry.loopStart > 0 && entry.loopStart < entry.buffer.duration) {
                      source.loopStart = entry.loopStart;
                      source.loopEnd = entry.buffer.duration;
                  }
                  source.playbackRate.value = playing.rate;
                  source.connect(gain);
                  source.onended = function() {
                      if (audio.channels[channel] == playing) delete audio.channels[channel];
                      gain.disconnect();
                  };
                  playing.source = source;
                  source.start();
              };
              if (entry.buffer)
                  start();
              else
                  entry.waiting.push(start);
              return 1;
          } catch (e) {
              delete audio.channels[channel];
              return 0;
          }
      });

EM_JS(void, WebAudioSlide, (int channel, double time, double volume, double pan, double rate), {
    var audio = Module.munchetAudio;
    var playing = audio && audio.channels[channel];
    if (!playing) return;
    var now = audio.context.currentTime;
    var glide = function(param, to) {
        param.cancelScheduledValues(now);
        param.setValueAtTime(param.value, now);
        if (time > 0)
            param.linearRampToValueAtTime(to, now + time);
        else
            param.setValueAtTime(to, now);
    };
    try {
        glide(playing.gain.gain, volume);
        if (pan >= -1 && playing.panner) glide(playing.panner.pan, pan);
        if (rate > 0) {
            playing.rate = rate;
            if (playing.source) glide(playing.source.playbackRate, rate);
        }
    } catch (e) {
    }
});

EM_JS(int, WebAudioPlaying, (int channel), {
    var audio = Module.munchetAudio;
    return audio && audio.channels[channel] ? 1 : 0;
});

bool WebAudio::Open(std::string& note) {
    Close();
    open = WebAudioOpen() != 0;
    if (!open) note = "No sound: this browser has no Web Audio";
    return open;
}

void WebAudio::Close() {
    if (open) WebAudioClose();
    open = false;
    effects.clear();
    musics.clear();
    channels.clear();
}

int WebAudio::Decode(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path;
        return 0;
    }
    std::vector<unsigned char> bytes;
    unsigned char block[16384];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || bytes.empty()) {
        error = "cannot read " + path;
        return 0;
    }
    const int sound = nextSound++;
    if (open) WebAudioDecode(sound, bytes.data(), static_cast<int>(bytes.size()));
    return sound;
}

EffectHandle WebAudio::LoadEffect(const char* path, std::string& error) {
    const int sound = path ? Decode(path, error) : 0;
    if (!sound) return 0;
    effects.push_back(sound);
    return static_cast<EffectHandle>(effects.size());
}

MusicHandle WebAudio::LoadMusic(const char* path, std::string& error) {
    const int sound = path ? Decode(std::string(path) + ".ogg", error) : 0;
    if (!sound) return 0;
    // The module's restart point, rendered beside the tune as seconds; the
    // whole tune loops without it.
    if (FILE* loopFile = std::fopen((std::string(path) + ".ogg.loop").c_str(), "r")) {
        double seconds = 0;
        if (std::fscanf(loopFile, "%lf", &seconds) == 1 && open && std::isfinite(seconds))
            WebAudioLoopFrom(sound, seconds);
        std::fclose(loopFile);
    }
    musics.push_back(sound);
    return static_cast<MusicHandle>(musics.size());
}

ChannelHandle WebAudio::Play(int sound, int volume, int pan, float pitch, bool loop, bool waitForSound) {
    if (!open) return 0;
    const ChannelHandle id = nextChannel;
    if (!WebAudioPlay(static_cast<int>(id), sound, Volume(volume), Pan(pan), Pitch(pitch), loop,
                      waitForSound))
        return 0;
    ++nextChannel;
    channels.push_back({id, 0});
    return id;
}

ChannelHandle WebAudio::PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) {
    if (effect == 0 || effect > effects.size()) return 0;
    return Play(effects[effect - 1], volume, pan, pitch, loop, false);
}

ChannelHandle WebAudio::PlayMusic(MusicHandle music, bool loop, int volume) {
    if (music == 0 || music > musics.size()) return 0;
    return Play(musics[music - 1], volume, 0, 1.0f, loop, true);
}

void WebAudio::SlideTo(ChannelHandle id, float time, int volume, int pan, float pitch) {
    const auto channel =
        std::find_if(channels.begin(), channels.end(), [id](const Channel& c) { return c.id == id; });
    if (channel == channels.end()) return;
    const double seconds = std::isfinite(time) && time > 0 ? time : 0.0;
    channel->glideLeft = seconds;
    WebAudioSlide(static_cast<int>(id), seconds, Volume(volume), pan == -101 ? -2.0 : Pan(pan),
                  pitch < 0 ? -1.0 : Pitch(pitch));
}

bool WebAudio::IsSliding(ChannelHandle id) const {
    return std::any_of(channels.begin(), channels.end(),
                       [id](const Channel& c) { return c.id == id && c.glideLeft > GlideTolerance; });
}

void WebAudio::Advance(float seconds) {
    std::erase_if(channels, [](const Channel& c) { return !WebAudioPlaying(static_cast<int>(c.id)); });
    for (Channel& channel : channels) channel.glideLeft -= seconds > 0 ? seconds : 0.0f;
}
