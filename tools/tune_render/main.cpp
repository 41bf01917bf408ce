// munchet-tune-render MODULE OUT.ogg: the tracker tune as the game's own
// mixer would play it, rendered once into Ogg Vorbis for the browser, which
// decodes Ogg but no tracker module. Beside it, OUT.ogg.loop holds where the
// tune loops back to, in seconds: the module's restart position, which a
// plain loop of the whole file would miss.
#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int SampleRate = 44100;
// Vorbis quality 0..1: 0.2 keeps the tune clean at about 80 kbit/s, within
// the browser game's download budget.
constexpr double VorbisQuality = 0.2;

std::vector<float> Render(const std::vector<char>& bytes, int repeats, std::string& error) {
    int code = 0;
    openmpt_module* module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr,
                                                                nullptr, nullptr, &code, nullptr, nullptr);
    if (!module) {
        error = openmpt_error_string(code);
        return {};
    }
    openmpt_module_set_repeat_count(module, repeats);
    std::vector<float> samples;
    std::vector<float> block(2 * 4096);
    while (const std::size_t frames =
               openmpt_module_read_interleaved_float_stereo(module, SampleRate, 4096, block.data()))
        samples.insert(samples.end(), block.begin(), block.begin() + 2 * static_cast<long>(frames));
    openmpt_module_destroy(module);
    return samples;
}

bool WriteOgg(const std::string& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = SampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    double quality = VorbisQuality;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    // In blocks: libvorbis's analysis runs out of stack on a whole tune at once.
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / 2);
    bool written = true;
    for (sf_count_t at = 0; at < frames && written; at += 4096) {
        const sf_count_t block = std::min<sf_count_t>(4096, frames - at);
        written = sf_writef_float(file, samples.data() + 2 * at, block) == block;
    }
    return sf_close(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: munchet-tune-render MODULE OUT.ogg\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string error;
    const std::vector<float> once = Render(bytes, 0, error);
    // Played twice, the tune is longer by its looped part alone.
    const std::vector<float> twice = Render(bytes, 1, error);
    if (once.empty() || twice.size() < once.size()) {
        std::fprintf(stderr, "munchet-tune-render: cannot play %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!WriteOgg(argv[2], once)) {
        std::fprintf(stderr, "munchet-tune-render: cannot write %s\n", argv[2]);
        return 1;
    }
    const double frames = static_cast<double>(once.size() / 2),
                 loopFrames = static_cast<double>((twice.size() - once.size()) / 2);
    std::ofstream loop(std::string(argv[2]) + ".loop");
    loop << (frames - loopFrames) / SampleRate << "\n";
    return loop ? 0 : 1;
}
