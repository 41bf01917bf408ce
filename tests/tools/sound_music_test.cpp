// The committed music, as libopenmpt (the engine's player) sees and plays it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/tools/sound_test_support.h"
#include "tools/soundgen/stardust.h"

namespace {

using namespace soundtest;

constexpr int Rate = 44100;

std::vector<std::uint8_t> MusicFile() {
    std::ifstream file(MUNCHET_SOURCE_DIR "/data/stardust.xm", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(Music, LoadsWithoutAWordFromLibopenmpt) {
    const LoadedModule music(MusicFile());
    ASSERT_TRUE(music) << music.error;
    EXPECT_TRUE(music.log.empty()) << music.log.front();
    openmpt_module* m = music.get();
    EXPECT_EQ(OpenmptText(openmpt_module_get_metadata(m, "type")), "xm");
    EXPECT_EQ(OpenmptText(openmpt_module_get_metadata(m, "warnings")), "");
    EXPECT_EQ(openmpt_module_get_num_channels(m), stardust::Channels);
    EXPECT_EQ(openmpt_module_get_num_instruments(m), 6);
    EXPECT_EQ(openmpt_module_get_num_samples(m), 6);
    EXPECT_GE(openmpt_module_get_num_patterns(m), 4);
    for (int i = 0; i < 6; ++i) EXPECT_NE(OpenmptText(openmpt_module_get_sample_name(m, i)), "") << i;
}

TEST(Music, PlaysAtLeastHalfAMinuteWithSoundAllAlongAndNoClipping) {
    const LoadedModule music(MusicFile());
    ASSERT_TRUE(music);
    const double seconds = openmpt_module_get_duration_seconds(music.get());
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 300.0);
    const std::vector<float> stereo = music.RenderStereo(seconds + 1);
    EXPECT_NEAR(double(stereo.size()) / 2 / Rate, seconds, 0.2) << "one pass, then the end";
    double peak = 0;
    for (const float sample : stereo) peak = std::max(peak, double(std::fabs(sample)));
    EXPECT_LT(peak, 0.9);
    EXPECT_GT(peak, 0.3);
    // Every second of it has sound, on both sides.
    for (std::size_t second = 0; second + 1 < stereo.size() / 2 / Rate; ++second)
        for (int side = 0; side < 2; ++side) {
            double sum = 0;
            for (std::size_t i = second * Rate; i < (second + 1) * Rate; ++i)
                sum += double(stereo[2 * i + side]) * stereo[2 * i + side];
            EXPECT_GT(std::sqrt(sum / Rate), 0.01) << "second " << second << " side " << side;
        }
}

TEST(Music, LoopsForEverBackToItsFirstVerse) {
    const LoadedModule music(MusicFile());
    ASSERT_TRUE(music);
    openmpt_module* m = music.get();
    const double seconds = openmpt_module_get_duration_seconds(m);
    const int restart = 1;
    ASSERT_GT(openmpt_module_get_num_orders(m), restart);
    openmpt_module_set_repeat_count(m, -1);

    // The first pass through the first verse, kept to compare with the second.
    const double pattern = 64.0 / 6.0;  // 64 rows of a sixth of a second
    music.RenderMono(pattern + 0.5);
    ASSERT_EQ(openmpt_module_get_current_order(m), restart);
    const std::vector<float> firstVerse = music.RenderMono(4.5);
    music.RenderMono(seconds - 0.5 - (pattern + 5.0));
    const std::vector<float> acrossTheLoop = music.RenderMono(1.0);
    EXPECT_EQ(openmpt_module_get_current_order(m), restart) << "the song went round";
    const std::vector<float> secondVerse = music.RenderMono(4.5);
    ASSERT_EQ(secondVerse.size(), std::size_t(4.5 * Rate));

    // The join is as smooth as the rest: no step between samples there is
    // larger than the largest within the verse itself.
    double verseStep = 0, joinStep = 0;
    for (std::size_t i = 1; i < firstVerse.size(); ++i)
        verseStep = std::max(verseStep, double(std::fabs(firstVerse[i] - firstVerse[i - 1])));
    for (std::size_t i = 1; i < acrossTheLoop.size(); ++i)
        joinStep = std::max(joinStep, double(std::fabs(acrossTheLoop[i] - acrossTheLoop[i - 1])));
    EXPECT_LT(joinStep, verseStep * 1.2);
    // The second time round the verse sounds as the first did (the pad runs
    // on from the bridge as it ran on from the intro).
    EXPECT_NEAR(Rms(secondVerse), Rms(firstVerse), 0.1 * Rms(firstVerse));
    EXPECT_GT(Rms(secondVerse), 0.02);
}

}  // namespace
