#include "engine/sdl/music_stream.h"

#include <AL/al.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "engine/sdl/audio_device.h"

bool MusicStream::Start(std::vector<std::uint8_t> bytes, bool looping, int startOrder, int startRow,
                        int outputRate) {
    song = std::move(bytes);
    loop = looping;
    order = startOrder;
    row = startRow;
    rate = outputRate;
    alGetError();
    ALuint name = 0;
    alGenSources(1, &name);
    if (alGetError() != AL_NO_ERROR) return false;
    source = name;
    ALuint names[BufferCount] = {};
    alGenBuffers(BufferCount, names);
    if (alGetError() != AL_NO_ERROR) {
        Stop();
        return false;
    }
    buffers.assign(names, names + BufferCount);
    idle = buffers;
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    block.resize(static_cast<std::size_t>(BufferFrames) * 2);
    return true;
}

void MusicStream::Pump() {
    if (!source || finished) return;
    if (!player.IsOpen() && !ended) {
        std::string error;
        ended = !player.Open(song, loop, order, row, error);
        song = {};
    }
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed) {
        ALuint done = 0;
        alSourceUnqueueBuffers(source, 1, &done);
        idle.push_back(done);
    }
    while (!idle.empty() && !ended) {
        const std::size_t frames = player.Render(block.data(), BufferFrames, rate);
        if (frames == 0) {
            ended = true;
            break;
        }
        const ALuint buffer = idle.back();
        idle.pop_back();
        alBufferData(buffer, AL_FORMAT_STEREO16, block.data(),
                     static_cast<ALsizei>(frames * 2 * sizeof(std::int16_t)), rate);
        alSourceQueueBuffers(source, 1, &buffer);
    }
    ALint queued = 0, state = AL_STOPPED;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (queued > 0 && state != AL_PLAYING && state != AL_PAUSED) {
        // First start, or the source ran dry and stopped: play what is queued.
        alSourcePlay(source);
    } else if (queued == 0 && ended) {
        finished = true;
    }
}

void MusicStream::Stop() {
    openal::DeleteSource(source);
    if (!buffers.empty()) {
        std::vector<ALuint> names(buffers.begin(), buffers.end());
        alDeleteBuffers(static_cast<ALsizei>(names.size()), names.data());
    }
    buffers.clear();
    idle.clear();
    finished = true;
}

void MusicStreamer::Start(bool ownThread) {
    Stop();
    stopping = false;
    if (!ownThread) return;
    thread = std::thread([this] {
        std::unique_lock<std::mutex> guard(lock);
        while (!stopping) {
            for (const auto& stream : streams) stream->Pump();
            wake.wait_for(guard, std::chrono::milliseconds(10));
        }
    });
}

void MusicStreamer::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable()) thread.join();
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& stream : streams) stream->Stop();
    streams.clear();
}

void MusicStreamer::Add(std::shared_ptr<MusicStream> stream) {
    {
        std::lock_guard<std::mutex> guard(lock);
        streams.push_back(std::move(stream));
    }
    wake.notify_all();
}

void MusicStreamer::Remove(const std::shared_ptr<MusicStream>& stream) {
    std::lock_guard<std::mutex> guard(lock);
    stream->Stop();
    std::erase(streams, stream);
}

void MusicStreamer::PumpAll() {
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& stream : streams) stream->Pump();
}
