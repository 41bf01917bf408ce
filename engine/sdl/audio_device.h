// The OpenAL Soft output: the default device, or the loopback device that
// mixes only when asked (tests). Also the few source and buffer operations the
// mixer needs, so that no other engine file but the music stream includes
// OpenAL.
#pragma once

#include <string>

struct PcmSound;

struct AudioDevice {
    // Opens the default device (loopback false) or a loopback device rendering
    // stereo at LoopbackRate, and makes its context current. False with a
    // reason in note when there is no device.
    bool Open(bool loopback, std::string& note);
    void Close();
    bool IsOpen() const { return context != nullptr; }
    bool IsLoopback() const { return loopback; }
    // Output frames per second.
    int SampleRate() const { return rate; }
    // Loopback only: mixes frames stereo frames (left, right interleaved, ±1)
    // into out. False when this is not a loopback device.
    bool Render(float* out, int frames);

    static constexpr int LoopbackRate = 44100;

    void* device = nullptr;         // ALCdevice
    void* context = nullptr;        // ALCcontext
    void* renderSamples = nullptr;  // alcRenderSamplesSOFT
    bool loopback = false;
    bool floatOutput = false;
    int rate = 0;
};

// Source and buffer operations on the current context. Ids are OpenAL names;
// 0 is none. Every operation on 0 does nothing.
namespace openal {

// A buffer holding the sound (mono or stereo 16-bit); 0 when OpenAL refuses.
unsigned CreateBuffer(const PcmSound& sound);
void DeleteBuffer(unsigned& buffer);
// A source for one voice, listener-relative and without distance attenuation.
unsigned CreateSource();
void DeleteSource(unsigned& source);
// volume 0..100 (gain volume/100), pan -100..100 (left..right, a point on
// the unit circle around the listener), pitch a playback-rate factor.
void SetMix(unsigned source, float volume, float pan, float pitch);
void Play(unsigned source, unsigned buffer, bool loop);
void Stop(unsigned source);
// True while the source plays (or waits to be played).
bool IsActive(unsigned source);

}  // namespace openal
