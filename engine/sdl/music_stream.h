// Music channels: a module rendered block by block into a few OpenAL buffers
// queued on one source, refilled as the source uses them up.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/sdl/audio_module.h"

struct MusicStream {
    static constexpr int BufferCount = 4;
    // Frames per buffer: four of them hold about 0.19 s at 44.1 kHz, plenty
    // for a refill every 10 ms.
    static constexpr int BufferFrames = 2048;

    MusicStream() = default;
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;
    ~MusicStream() { Stop(); }

    // Makes the source and its buffers on the current context, for the
    // module file bytes played as ModulePlayer::Open says. The song is read
    // and starts playing at the first Pump: on the streamer's thread, away
    // from the frame that started it. False (nothing made) when OpenAL refuses.
    bool Start(std::vector<std::uint8_t> bytes, bool loop, int order, int row, int outputRate);
    // Queues freshly rendered blocks in place of the ones played; restarts the
    // source after an underrun. A song libopenmpt cannot read ends at once.
    // Called with the streamer's lock held.
    void Pump();
    // The song has ended and everything rendered has been heard.
    bool IsFinished() const { return finished.load(); }
    // Stops the source and frees it and its buffers.
    void Stop();

    unsigned source = 0;             // an OpenAL source; its gain is set by the mixer
    std::vector<unsigned> buffers;   // all buffers owned
    std::vector<unsigned> idle;      // owned buffers not queued
    std::vector<std::uint8_t> song;  // the module file, until the player has read it
    bool loop = false;
    int order = -1, row = -1;
    ModulePlayer player;
    int rate = 0;
    bool ended = false;  // the module rendered its last frame
    std::atomic<bool> finished{false};
    std::vector<std::int16_t> block;
};

// Keeps every music stream fed: from its own thread on a real device (the
// game's frame can stall, e.g. on a network request, and the music must go
// on), or on demand (loopback rendering) when run without a thread.
struct MusicStreamer {
    MusicStreamer() = default;
    MusicStreamer(const MusicStreamer&) = delete;
    MusicStreamer& operator=(const MusicStreamer&) = delete;
    ~MusicStreamer() { Stop(); }

    void Start(bool ownThread);
    // Ends the thread and stops every stream.
    void Stop();
    void Add(std::shared_ptr<MusicStream> stream);
    // Stops the stream and forgets it.
    void Remove(const std::shared_ptr<MusicStream>& stream);
    // One refill of every stream (the thread does this every 10 ms).
    void PumpAll();

    std::mutex lock;
    std::vector<std::shared_ptr<MusicStream>> streams;
    std::thread thread;
    std::condition_variable wake;
    bool stopping = false;
};
