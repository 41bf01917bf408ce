// The tune, in A minor at 90 beats per minute (tempo 6, BPM 90: a row is a
// sixteenth note of 1/6 s, a 64-row pattern four bars of 10.7 s).
//
// Channels: 1-3 a pad holding three chord voices that glide from chord to
// chord (tone portamento, never retriggered after the intro, so the pad runs
// on seamlessly across the loop); 4 the bass; 5 a bell arpeggio in eighths;
// 6 its echo three sixteenths later on the other side; 7 the lead melody;
// 8 a soft kick and shaker.
//
// Order: intro, A1, A2, B1, B2, A1 + melody, A2 + melody, bridge; the song
// restarts at A1, the bridge's last chord (E) leading back to its A minor.
#include "tools/soundgen/stardust.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tools/soundgen/instruments.h"

namespace stardust {

namespace {

enum ChannelIndex { Pad1, Pad2, Pad3, BassLine, Arp, Echo, Melody, Drums };
enum InstrumentNumber : std::uint8_t {
    PadSound = 1,
    BassSound,
    BellSound,
    LeadSound,
    KickSound,
    ShakerSound
};

constexpr std::uint8_t SetPanning = 0x08, TonePortamento = 0x03;

// Volumes below are the balance between the parts; Loudness scales them all
// so that the whole mix peaks a little under full scale.
constexpr double Loudness = 1.6;
std::uint8_t Volume(double level) {
    const long volume = std::lround(level * Loudness);
    return xm::SetVolume(static_cast<int>(std::clamp(volume, 0L, 64L)));
}

struct Chord {
    int bass;                // MIDI note
    std::array<int, 3> pad;  // three voices, low to high
    std::array<int, 5> arp;  // chord tones, rising
};

const Chord Am9{45, {60, 64, 71}, {69, 72, 76, 79, 83}};
const Chord Fmaj7{41, {60, 64, 69}, {65, 69, 72, 76, 79}};
const Chord Cmaj7{48, {59, 64, 67}, {67, 71, 72, 76, 79}};
const Chord Cmaj7High{48, {64, 67, 71}, {67, 71, 72, 76, 79}};
const Chord G6{43, {59, 62, 67}, {67, 71, 74, 76, 79}};
const Chord G{43, {62, 67, 71}, {67, 71, 74, 79, 83}};
const Chord Dm9{38, {60, 65, 69}, {65, 69, 72, 74, 76}};
const Chord Em7{40, {59, 62, 67}, {64, 67, 71, 74, 79}};
const Chord Esus{40, {59, 64, 69}, {64, 69, 71, 74, 76}};
const Chord E7{40, {59, 64, 68}, {64, 68, 71, 74, 76}};

// A bar: its chord, and the chord of its second half (the same, or E after
// E sus4 at a cadence).
struct Bar {
    const Chord* first;
    const Chord* second;
};
Bar Whole(const Chord& chord) { return {&chord, &chord}; }
const Bar Cadence{&Esus, &E7};

struct Note {
    int bar, row, midi, length;  // length in rows
};

// Which layers play in a pattern and how.
struct Section {
    std::array<Bar, BarsPerPattern> bars;
    double padVolume;
    int bassStyle;  // 0 none, 1 long notes from bassFromBar on, 2 the groove
    int bassFromBar;
    int arpFromBar;  // 4 = no arpeggio
    int arpStep;     // rows between arpeggio notes
    bool echo;
    int drumStyle;  // 0 none, 1 shaker, 2 kick and shaker, 3 shaker in the last two bars
    std::vector<Note> melody;
};

// The chorus melody over F, G6, Em7, Am9 | Dm9, G, Cmaj7, E.
const std::vector<Note> MelodyB1 = {
    {0, 0, 76, 6},  {0, 6, 74, 2},  {0, 8, 72, 4},  {0, 12, 69, 4}, {1, 0, 71, 8},  {1, 8, 74, 4},
    {1, 12, 76, 4}, {2, 0, 79, 10}, {2, 10, 76, 2}, {2, 12, 74, 4}, {3, 0, 76, 12}, {3, 12, 72, 4},
};
const std::vector<Note> MelodyB2 = {
    {0, 0, 74, 6}, {0, 6, 76, 2}, {0, 8, 77, 4}, {0, 12, 76, 4}, {1, 0, 74, 8}, {1, 8, 71, 4}, {1, 12, 67, 4},
    {2, 0, 76, 6}, {2, 6, 74, 2}, {2, 8, 72, 4}, {2, 12, 71, 4}, {3, 0, 69, 8}, {3, 8, 68, 6},
};
// The verse melody over Am9, F, C, G6 | Am9, F, Dm9, E.
const std::vector<Note> MelodyA1 = {
    {0, 0, 69, 4}, {0, 4, 72, 4}, {0, 8, 76, 8}, {1, 0, 81, 6},  {1, 6, 79, 2},  {1, 8, 76, 8},
    {2, 0, 79, 4}, {2, 4, 76, 4}, {2, 8, 74, 4}, {2, 12, 72, 4}, {3, 0, 74, 12},
};
const std::vector<Note> MelodyA2 = {
    {0, 0, 69, 4},  {0, 4, 72, 4}, {0, 8, 76, 4}, {0, 12, 79, 4}, {1, 0, 81, 8},  {1, 8, 79, 4},
    {1, 12, 77, 4}, {2, 0, 76, 8}, {2, 8, 74, 4}, {2, 12, 72, 4}, {3, 0, 71, 10},
};

xm::Cell& At(xm::Pattern& pattern, int bar, int row, int channel) {
    return pattern.At(bar * RowsPerBar + row, channel);
}

// The pad voices: the very first chord is struck (with each voice placed
// left, centre, right); every later chord is reached by a short glide.
void WritePad(xm::Pattern& pattern, const Section& section, bool strike, std::array<int, 3>& sounding) {
    const std::uint8_t pans[3] = {0x50, 0x80, 0xB0};
    for (int bar = 0; bar < BarsPerPattern; ++bar)
        for (int half = 0; half < 2; ++half) {
            const Chord& chord = half == 0 ? *section.bars[static_cast<std::size_t>(bar)].first
                                           : *section.bars[static_cast<std::size_t>(bar)].second;
            for (int voice = 0; voice < 3; ++voice) {
                const int midi = chord.pad[static_cast<std::size_t>(voice)];
                xm::Cell& cell = At(pattern, bar, half * 8, Pad1 + voice);
                if (strike && bar == 0 && half == 0) {
                    cell = {xm::NoteFromMidi(midi), PadSound, Volume(section.padVolume), SetPanning,
                            pans[voice]};
                } else if (midi != sounding[static_cast<std::size_t>(voice)]) {
                    cell = {xm::NoteFromMidi(midi), 0, Volume(section.padVolume), TonePortamento, 0x20};
                } else if (half == 0 && bar == 0) {
                    cell.volume = Volume(section.padVolume);
                }
                sounding[static_cast<std::size_t>(voice)] = midi;
            }
        }
}

void WriteBass(xm::Pattern& pattern, const Section& section) {
    for (int bar = section.bassFromBar; bar < BarsPerPattern && section.bassStyle; ++bar) {
        const int root = section.bars[static_cast<std::size_t>(bar)].first->bass;
        if (section.bassStyle == 1) {
            At(pattern, bar, 0, BassLine) = {xm::NoteFromMidi(root), BassSound, Volume(36), 0, 0};
            At(pattern, bar, 13, BassLine).note = xm::KeyOff;
            continue;
        }
        const struct {
            int row, offset, volume;
        } groove[] = {{0, 0, 40}, {6, 0, 30}, {10, 7, 33}, {14, 12, 25}};
        for (const auto& step : groove)
            At(pattern, bar, step.row, BassLine) = {xm::NoteFromMidi(root + step.offset), BassSound,
                                                    Volume(step.volume), 0, 0};
    }
}

void WriteArpeggio(xm::Pattern& pattern, const Section& section, int patternNumber) {
    // Two shapes, alternating bar by bar, so the figure breathes.
    const int shapes[2][8] = {{0, 1, 2, 3, 4, 3, 2, 1}, {0, 2, 1, 3, 2, 4, 3, 2}};
    for (int bar = section.arpFromBar; bar < BarsPerPattern; ++bar)
        for (int row = 0; row < RowsPerBar; row += section.arpStep) {
            const Bar& chords = section.bars[static_cast<std::size_t>(bar)];
            const Chord& chord = row < 8 ? *chords.first : *chords.second;
            const int step = (row / 2) % 8;
            const int tone = chord.arp[static_cast<std::size_t>(shapes[(bar + patternNumber) % 2][step])];
            // Accents on the beats; softer while the arpeggio comes in.
            const bool entering = section.arpFromBar > 0 && bar == section.arpFromBar;
            const double volume = (row % 8 == 0 ? 23 : 18) * (entering ? 0.8 : 1.0);
            At(pattern, bar, row, Arp) = {xm::NoteFromMidi(tone), BellSound, Volume(volume), 0, 0};
            const int echoRow = bar * RowsPerBar + row + 3;
            if (section.echo && echoRow < pattern.rows)
                pattern.At(echoRow, Echo) = {xm::NoteFromMidi(tone), BellSound, Volume(volume / 2),
                                             SetPanning, 0xC0};
        }
}

void WriteMelody(xm::Pattern& pattern, const std::vector<Note>& melody) {
    for (std::size_t i = 0; i < melody.size(); ++i) {
        const Note& note = melody[i];
        At(pattern, note.bar, note.row, Melody) = {xm::NoteFromMidi(note.midi), LeadSound, Volume(46), 0, 0};
        const int end = note.bar * RowsPerBar + note.row + note.length;
        const bool joined =
            i + 1 < melody.size() && melody[i + 1].bar * RowsPerBar + melody[i + 1].row == end;
        if (!joined && end < pattern.rows) pattern.At(end, Melody).note = xm::KeyOff;
    }
}

void WriteDrums(xm::Pattern& pattern, const Section& section) {
    if (section.drumStyle == 0) return;
    for (int bar = 0; bar < BarsPerPattern; ++bar) {
        if (section.drumStyle == 3 && bar < 2) continue;
        const double shaker[4] = {14, 10, 13, 11};
        for (int beat = 0; beat < 4; ++beat) {
            const double volume = section.drumStyle == 3 ? 6 + 2 * (bar - 2) + beat : shaker[beat];
            At(pattern, bar, beat * 4 + 2, Drums) = {xm::NoteFromMidi(60), ShakerSound, Volume(volume), 0, 0};
        }
        if (section.drumStyle != 2) continue;
        At(pattern, bar, 0, Drums) = {xm::NoteFromMidi(60), KickSound, Volume(40), 0, 0};
        At(pattern, bar, 8, Drums) = {xm::NoteFromMidi(60), KickSound, Volume(35), 0, 0};
        if (bar == 3) At(pattern, bar, 11, Drums) = {xm::NoteFromMidi(60), KickSound, Volume(26), 0, 0};
    }
}

std::vector<Section> Sections() {
    const std::array<Bar, 4> intro = {Whole(Am9), Whole(Fmaj7), Whole(Am9), Cadence};
    const std::array<Bar, 4> verse1 = {Whole(Am9), Whole(Fmaj7), Whole(Cmaj7), Whole(G6)};
    const std::array<Bar, 4> verse2 = {Whole(Am9), Whole(Fmaj7), Whole(Dm9), Cadence};
    const std::array<Bar, 4> chorus1 = {Whole(Fmaj7), Whole(G6), Whole(Em7), Whole(Am9)};
    const std::array<Bar, 4> chorus2 = {Whole(Dm9), Whole(G), Whole(Cmaj7High), Cadence};
    const std::array<Bar, 4> bridge = {Whole(Fmaj7), Whole(Em7), Whole(Dm9), Cadence};
    return {
        {intro, 19, 1, 2, 1, 2, false, 0, {}},        {verse1, 21, 2, 0, 0, 2, true, 1, {}},
        {verse2, 21, 2, 0, 0, 2, true, 1, {}},        {chorus1, 23, 2, 0, 0, 2, true, 2, MelodyB1},
        {chorus2, 23, 2, 0, 0, 2, true, 2, MelodyB2}, {verse1, 21, 2, 0, 0, 2, true, 2, MelodyA1},
        {verse2, 21, 2, 0, 0, 2, true, 2, MelodyA2},  {bridge, 17, 1, 0, 0, 4, false, 3, {}},
    };
}

}  // namespace

xm::Module Compose() {
    xm::Module module;
    module.name = "Stardust";
    module.channels = Channels;
    module.tempo = 6;
    module.bpm = 90;
    module.instruments = {instruments::Pad(),  instruments::Bass(), instruments::Bell(),
                          instruments::Lead(), instruments::Kick(), instruments::Shaker()};
    std::array<int, 3> sounding{};
    const std::vector<Section> sections = Sections();
    for (std::size_t i = 0; i < sections.size(); ++i) {
        xm::Pattern pattern(RowsPerBar * BarsPerPattern, Channels);
        const Section& section = sections[i];
        WritePad(pattern, section, i == 0, sounding);
        WriteBass(pattern, section);
        WriteArpeggio(pattern, section, static_cast<int>(i));
        WriteMelody(pattern, section.melody);
        WriteDrums(pattern, section);
        module.patterns.push_back(std::move(pattern));
        module.orders.push_back(static_cast<std::uint8_t>(i));
    }
    module.restart = 1;
    return module;
}

}  // namespace stardust
