// The XM writer, read back through libopenmpt: what we write is what a player
// sees, and notes sound at their pitch.
#include <gtest/gtest.h>

#include "tests/tools/sound_test_support.h"
#include "tools/soundgen/dsp.h"
#include "tools/soundgen/instruments.h"
#include "tools/soundgen/xm_writer.h"

namespace {

using namespace soundtest;

constexpr int Rate = 44100;

// libopenmpt numbers notes one octave above FastTracker 2 (its C-5 is the XM
// C-4 that plays a sample at 8363 per second), and key off as 255.
int OpenmptNote(int xmNote) { return xmNote == xm::KeyOff ? 255 : xmNote + 12; }

xm::Sample SineCycle(int length, double cycles, int count) {
    xm::Sample sample;
    for (int i = 0; i < length * count; ++i)
        sample.data.push_back(static_cast<std::int16_t>(
            std::lround(20000 * dsp::Sin(dsp::TwoPi * cycles * (i % length) / length))));
    sample.loop = xm::Loop::Forward;
    sample.loopStart = 0;
    sample.loopLength = static_cast<std::uint32_t>(sample.data.size());
    return sample;
}

xm::Instrument Named(const std::string& name, std::vector<xm::Sample> samples) {
    xm::Instrument instrument;
    instrument.name = name;
    instrument.samples = std::move(samples);
    return instrument;
}

// A module playing one note of one instrument from the first row on.
xm::Module OneNote(xm::Instrument instrument, int midi) {
    xm::Module module;
    module.name = "one note";
    module.channels = 2;
    module.instruments.push_back(std::move(instrument));
    xm::Pattern pattern(64, 2);
    pattern.At(0, 0) = {xm::NoteFromMidi(midi), 1, xm::SetVolume(64), 0, 0};
    module.patterns.push_back(pattern);
    module.orders = {0};
    return module;
}

std::vector<float> Play(const xm::Module& module, double seconds) {
    std::string error;
    const LoadedModule loaded(xm::Write(module, error));
    EXPECT_TRUE(loaded) << error << loaded.error;
    if (!loaded) return {};
    std::vector<float> sound = loaded.RenderMono(seconds + 0.1, Rate);
    // Past the attack: the steady part.
    sound.erase(sound.begin(), sound.begin() + Rate / 10);
    return sound;
}

TEST(XmWriter, StructureRoundTripsThroughLibopenmpt) {
    xm::Module module;
    module.name = "round trip";
    module.channels = 4;
    module.tempo = 5;
    module.bpm = 140;
    xm::Sample looped = SineCycle(64, 1, 4);
    looped.name = "looped sine";
    xm::Sample once = SineCycle(32, 1, 10);
    once.loop = xm::Loop::None;
    once.name = "one-shot";
    xm::Instrument first = Named("First", {looped});
    first.volume.points = {{0, 0}, {10, 64}, {30, 32}};
    first.volume.sustain = 1;
    first.fadeout = 512;
    module.instruments = {first, Named("Second", {once, looped})};
    module.instruments[1].sampleForNote.fill(1);

    xm::Pattern a(64, 4), b(17, 4);
    a.At(0, 0) = {49, 1, xm::SetVolume(40), 0x08, 0x50};  // every field
    a.At(0, 3) = {61, 2, 0, 0, 0};                        // note and instrument only
    a.At(5, 1) = {0, 0, xm::SetVolume(12), 0, 0};         // volume only
    a.At(9, 2) = {0, 0, 0, 0x0F, 0x06};                   // effect and parameter only
    a.At(10, 2) = {0, 0, 0, 0x03, 0};                     // an effect with parameter 0
    a.At(63, 0) = {xm::KeyOff, 0, 0, 0, 0};
    b.At(16, 3) = {96, 1, 0, 0, 0};
    module.patterns = {a, b};
    module.orders = {0, 1, 0, 1, 1};
    module.restart = 2;

    std::string error;
    const std::vector<std::uint8_t> bytes = xm::Write(module, error);
    ASSERT_FALSE(bytes.empty()) << error;
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 17), "Extended Module: ");
    const LoadedModule loaded(bytes);
    ASSERT_TRUE(loaded) << loaded.error;
    EXPECT_TRUE(loaded.log.empty()) << loaded.log.front();
    openmpt_module* m = loaded.get();
    EXPECT_EQ(OpenmptText(openmpt_module_get_metadata(m, "type")), "xm");
    EXPECT_EQ(OpenmptText(openmpt_module_get_metadata(m, "title")), "round trip");
    EXPECT_EQ(openmpt_module_get_num_channels(m), 4);
    EXPECT_EQ(openmpt_module_get_num_patterns(m), 2);
    EXPECT_EQ(openmpt_module_get_num_orders(m), 5);
    EXPECT_EQ(openmpt_module_get_order_pattern(m, 3), 1);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(m, 0), 64);
    EXPECT_EQ(openmpt_module_get_pattern_num_rows(m, 1), 17);
    EXPECT_EQ(openmpt_module_get_num_instruments(m), 2);
    EXPECT_EQ(openmpt_module_get_num_samples(m), 3);
    EXPECT_EQ(OpenmptText(openmpt_module_get_instrument_name(m, 0)), "First");
    EXPECT_EQ(OpenmptText(openmpt_module_get_instrument_name(m, 1)), "Second");
    EXPECT_EQ(OpenmptText(openmpt_module_get_sample_name(m, 0)), "looped sine");
    EXPECT_EQ(OpenmptText(openmpt_module_get_sample_name(m, 1)), "one-shot");
    EXPECT_EQ(openmpt_module_get_current_speed(m), 5);
    EXPECT_EQ(openmpt_module_get_current_tempo(m), 140);

    // Every written cell reads back; every other cell is empty.
    for (int p = 0; p < 2; ++p) {
        const xm::Pattern& pattern = module.patterns[static_cast<std::size_t>(p)];
        for (int row = 0; row < pattern.rows; ++row)
            for (int channel = 0; channel < 4; ++channel) {
                const xm::Cell& cell = pattern.At(row, channel);
                const auto command = [&](int which) {
                    return openmpt_module_get_pattern_row_channel_command(m, p, row, channel, which);
                };
                SCOPED_TRACE(testing::Message()
                             << "pattern " << p << " row " << row << " channel " << channel);
                EXPECT_EQ(command(OPENMPT_MODULE_COMMAND_NOTE), cell.note ? OpenmptNote(cell.note) : 0);
                EXPECT_EQ(command(OPENMPT_MODULE_COMMAND_INSTRUMENT), cell.instrument);
                EXPECT_EQ(command(OPENMPT_MODULE_COMMAND_VOLUME), cell.volume ? cell.volume - 0x10 : 0);
                EXPECT_EQ(command(OPENMPT_MODULE_COMMAND_PARAMETER), cell.parameter);
                EXPECT_EQ(command(OPENMPT_MODULE_COMMAND_EFFECT) != 0, cell.effect != 0);
            }
    }
    const char* effect =
        openmpt_module_format_pattern_row_channel_command(m, 0, 9, 2, OPENMPT_MODULE_COMMAND_EFFECT);
    EXPECT_STREQ(effect, "F");  // set speed
    openmpt_free_string(effect);
}

TEST(XmWriter, NoteC4PlaysAnUntunedSampleAt8363PerSecond) {
    // A 32-sample cycle at 8363 per second: 261.3 Hz.
    const auto sound = Play(OneNote(Named("cycle", {SineCycle(32, 1, 8)}), 60), 0.5);
    EXPECT_TRUE(SoundsAt(sound, 8363.0 / 32, Rate));
    // An octave up the note plays twice as fast.
    const auto octave = Play(OneNote(Named("cycle", {SineCycle(32, 1, 8)}), 72), 0.5);
    EXPECT_TRUE(SoundsAt(octave, 2 * 8363.0 / 32, Rate));
}

TEST(XmWriter, TunedSamplesSoundAtTheirNotes) {
    // 441 Hz recorded at 44100 per second, tuned as A4: 44100 is 28.78
    // semitones above 8363, less 9 from C4 to A4, less 4 cents from 441 to 440.
    xm::Sample sample = SineCycle(100, 1, 20);
    xm::Tune(sample, 44100, 441, 69);
    EXPECT_EQ(sample.relativeNote, 20);
    EXPECT_NEAR(sample.finetune, -32, 1);
    for (const int midi : {57, 69, 76, 81}) {
        const auto sound = Play(OneNote(Named("tuned", {sample}), midi), 0.4);
        EXPECT_TRUE(SoundsAt(sound, dsp::NoteHz(midi), Rate)) << midi;
    }
}

TEST(XmWriter, TheMusicsInstrumentsPlayInTune) {
    struct Case {
        xm::Instrument instrument;
        int midi;
    };
    const Case cases[] = {{instruments::Pad(), 64},
                          {instruments::Bass(), 45},
                          {instruments::Bell(), 76},
                          {instruments::Lead(), 72}};
    for (const Case& c : cases) {
        const auto sound = Play(OneNote(c.instrument, c.midi), 1.0);
        EXPECT_TRUE(SoundsAt(sound, dsp::NoteHz(c.midi), Rate)) << c.instrument.name;
        EXPECT_GT(Rms(sound), 0.01) << c.instrument.name;
    }
}

TEST(XmWriter, AVolumeEnvelopeHoldsAtItsSustainPointUntilKeyOff) {
    xm::Instrument instrument = Named("held", {SineCycle(64, 1, 4)});
    instrument.volume.points = {{0, 64}, {5, 64}, {10, 0}};
    instrument.volume.sustain = 1;
    xm::Module module = OneNote(instrument, 60);
    module.patterns[0].At(32, 0).note = xm::KeyOff;  // at 32 × 0.12 s = 3.84 s
    std::string error;
    const LoadedModule loaded(xm::Write(module, error));
    ASSERT_TRUE(loaded);
    const std::vector<float> sound = loaded.RenderMono(5.0, Rate);
    EXPECT_GT(Rms(sound, Rate, Rate * 5 / 2), 0.05) << "held at the sustain point";
    EXPECT_LT(Rms(sound, Rate * 9 / 2, Rate / 2), 0.001) << "gone after key off";
}

TEST(XmWriter, RejectsWhatTheFormatCannotHold) {
    const auto broken = [](auto change) {
        xm::Module module = OneNote(Named("ok", {SineCycle(32, 1, 2)}), 60);
        change(module);
        std::string error;
        const bool empty = xm::Write(module, error).empty();
        return empty && !error.empty();
    };
    EXPECT_FALSE(broken([](xm::Module&) {}));
    EXPECT_TRUE(broken([](xm::Module& m) { m.channels = 3; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.channels = 34; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.orders = {1}; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.restart = 1; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.name = std::string(21, 'x'); }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.bpm = 20; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.patterns[0].At(3, 1).instrument = 2; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.patterns[0].At(3, 1).note = 98; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.instruments[0].samples[0].loopLength = 65; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.instruments[0].samples[0].volume = 65; }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.instruments[0].sampleForNote[10] = 1; }));
    EXPECT_TRUE(broken([](xm::Module& m) {
        for (int i = 0; i < 13; ++i) m.instruments[0].volume.points.push_back({std::uint16_t(i), 10});
    }));
    EXPECT_TRUE(broken([](xm::Module& m) { m.instruments[0].volume.points = {{5, 10}, {5, 20}}; }));
    EXPECT_TRUE(broken([](xm::Module& m) {
        m.instruments[0].volume.points = {{0, 10}};
        m.instruments[0].volume.sustain = 1;
    }));
}

TEST(XmWriter, SampleDataIsDeltaEncoded) {
    xm::Sample sample;
    sample.data = {100, -32768, 32767, 0};
    xm::Module module = OneNote(Named("deltas", {sample}), 60);
    std::string error;
    const std::vector<std::uint8_t> bytes = xm::Write(module, error);
    ASSERT_GE(bytes.size(), 8u);
    const auto at = [&](std::size_t i) {
        return static_cast<std::int16_t>(bytes[bytes.size() - 8 + 2 * i] | bytes[bytes.size() - 7 + 2 * i]
                                                                               << 8);
    };
    EXPECT_EQ(at(0), 100);
    EXPECT_EQ(at(1), static_cast<std::int16_t>(-32768 - 100));
    EXPECT_EQ(at(2), -1);  // 32767 − (−32768) wraps
    EXPECT_EQ(at(3), -32767);
}

}  // namespace
