#include "engine/sdl/audio_device.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/sdl/audio_decode.h"

namespace {

ALCdevice* Device(void* device) { return static_cast<ALCdevice*>(device); }

}  // namespace

bool AudioDevice::Open(bool useLoopback, std::string& note) {
    Close();
    ALCdevice* opened = nullptr;
    std::vector<ALCint> attributes;
    if (useLoopback) {
        if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
            note = "OpenAL has no loopback device; running without sound";
            return false;
        }
        auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        auto isSupported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
            alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
        renderSamples = reinterpret_cast<void*>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (!openLoopback || !isSupported || !renderSamples || !(opened = openLoopback(nullptr))) {
            note = "cannot open OpenAL's loopback device; running without sound";
            renderSamples = nullptr;
            return false;
        }
        floatOutput = isSupported(opened, LoopbackRate, ALC_STEREO_SOFT, ALC_FLOAT_SOFT);
        if (!floatOutput && !isSupported(opened, LoopbackRate, ALC_STEREO_SOFT, ALC_SHORT_SOFT)) {
            alcCloseDevice(opened);
            note = "OpenAL's loopback device renders no usable format; running without sound";
            renderSamples = nullptr;
            return false;
        }
        // A fixed format with no HRTF, so that what tests measure does not
        // depend on the machine's configuration.
        attributes = {ALC_FORMAT_CHANNELS_SOFT,
                      ALC_STEREO_SOFT,
                      ALC_FORMAT_TYPE_SOFT,
                      floatOutput ? ALC_FLOAT_SOFT : ALC_SHORT_SOFT,
                      ALC_FREQUENCY,
                      LoopbackRate,
                      ALC_HRTF_SOFT,
                      ALC_FALSE};
    } else {
        opened = alcOpenDevice(nullptr);
        if (!opened) {
            note = "No sound device found; the game runs without sound";
            return false;
        }
    }
    attributes.push_back(0);
    ALCcontext* created = alcCreateContext(opened, attributes.data());
    if (!created || !alcMakeContextCurrent(created)) {
        if (created) alcDestroyContext(created);
        alcCloseDevice(opened);
        renderSamples = nullptr;
        note = "cannot start OpenAL on the sound device; the game runs without sound";
        return false;
    }
    device = opened;
    context = created;
    loopback = useLoopback;
    ALCint frequency = 0;
    alcGetIntegerv(opened, ALC_FREQUENCY, 1, &frequency);
    rate = frequency > 0 ? frequency : (useLoopback ? LoopbackRate : 44100);
    // Effects are placed by pan alone: no fading with distance.
    alDistanceModel(AL_NONE);
    alListenerf(AL_GAIN, 1.0f);
    return true;
}

void AudioDevice::Close() {
    if (context) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(static_cast<ALCcontext*>(context));
    }
    if (device) alcCloseDevice(Device(device));
    device = nullptr;
    context = nullptr;
    renderSamples = nullptr;
    loopback = false;
    floatOutput = false;
    rate = 0;
}

bool AudioDevice::Render(float* out, int frames) {
    if (!loopback || !context || !renderSamples || frames < 0) return false;
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(renderSamples);
    if (floatOutput) {
        render(Device(device), out, frames);
        return true;
    }
    std::vector<short> pcm(static_cast<std::size_t>(frames) * 2);
    render(Device(device), pcm.data(), frames);
    for (std::size_t i = 0; i < pcm.size(); ++i) out[i] = static_cast<float>(pcm[i]) / 32768.0f;
    return true;
}

namespace openal {

unsigned CreateBuffer(const PcmSound& sound) {
    if (sound.samples.empty() || (sound.channels != 1 && sound.channels != 2)) return 0;
    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) return 0;
    alBufferData(buffer, sound.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, sound.samples.data(),
                 static_cast<ALsizei>(sound.samples.size() * sizeof(std::int16_t)), sound.sampleRate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        return 0;
    }
    return buffer;
}

void DeleteBuffer(unsigned& buffer) {
    if (buffer) {
        ALuint name = buffer;
        alDeleteBuffers(1, &name);
    }
    buffer = 0;
}

unsigned CreateSource() {
    ALuint source = 0;
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) return 0;
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, -1.0f);
    return source;
}

void DeleteSource(unsigned& source) {
    if (source) {
        ALuint name = source;
        alSourceStop(name);
        alSourcei(name, AL_BUFFER, 0);
        alDeleteSources(1, &name);
    }
    source = 0;
}

void SetMix(unsigned source, float volume, float pan, float pitch) {
    if (!source) return;
    const float angle = pan / 100.0f * std::numbers::pi_v<float> / 2.0f;
    alSourcef(source, AL_GAIN, volume / 100.0f);
    alSource3f(source, AL_POSITION, std::sin(angle), 0.0f, -std::cos(angle));
    alSourcef(source, AL_PITCH, pitch);
}

void Play(unsigned source, unsigned buffer, bool loop) {
    if (!source || !buffer) return;
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcePlay(source);
}

void Stop(unsigned source) {
    if (source) alSourceStop(source);
}

bool IsActive(unsigned source) {
    if (!source) return false;
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING || state == AL_PAUSED;
}

}  // namespace openal
