// libFuzzer entry point over the input journal's reader: any bytes must read
// without a fault, every frame read must keep the frame-time bounds, and the
// frames read, journalled again, must read back the same.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/input_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputJournal journal;
    journal.bytes.assign(data, data + size);
    JournalReader reader(journal);
    std::vector<FrameInput> frames;
    FrameInput frame;
    while (reader.Next(frame) == JournalReader::Result::Frame) {
        if (!(frame.frameTime >= MinFrameDelta && frame.frameTime <= MaxFrameDelta)) __builtin_trap();
        frames.push_back(frame);
    }
    InputJournal again;
    again.Begin({});
    for (const FrameInput& f : frames) again.Append(f);
    JournalReader second(again);
    for (const FrameInput& f : frames)
        if (second.Next(frame) != JournalReader::Result::Frame || !(frame == f)) __builtin_trap();
    if (second.Next(frame) != JournalReader::Result::End) __builtin_trap();
    return 0;
}
