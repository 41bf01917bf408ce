#include "tools/soundgen/xm_writer.h"

#include <cmath>

#include "tools/soundgen/dsp.h"

namespace xm {

namespace {

struct Bytes {
    std::vector<std::uint8_t> data;

    void U8(unsigned value) { data.push_back(static_cast<std::uint8_t>(value)); }
    void U16(unsigned value) {
        U8(value & 0xFF);
        U8((value >> 8) & 0xFF);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void Text(const std::string& text, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) U8(i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
    }
    void Zeros(std::size_t count) { data.insert(data.end(), count, 0); }
};

bool CheckEnvelope(const Envelope& envelope, const std::string& where, std::string& error) {
    if (envelope.points.size() > 12) {
        error = where + ": more than 12 envelope points";
        return false;
    }
    const int count = static_cast<int>(envelope.points.size());
    for (int i = 0; i < count; ++i) {
        const EnvelopePoint& point = envelope.points[static_cast<std::size_t>(i)];
        if (point.value > 64 ||
            (i > 0 && point.tick <= envelope.points[static_cast<std::size_t>(i - 1)].tick)) {
            error = where + ": envelope point out of range or out of order";
            return false;
        }
    }
    for (const int index : {envelope.sustain, envelope.loopStart, envelope.loopEnd})
        if (index >= count) {
            error = where + ": envelope sustain or loop point past the last point";
            return false;
        }
    if ((envelope.loopStart < 0) != (envelope.loopEnd < 0) || envelope.loopEnd < envelope.loopStart) {
        error = where + ": envelope loop needs a start before its end";
        return false;
    }
    return true;
}

void WriteEnvelopePoints(Bytes& out, const Envelope& envelope) {
    for (std::size_t i = 0; i < 12; ++i) {
        const EnvelopePoint point = i < envelope.points.size() ? envelope.points[i] : EnvelopePoint{};
        out.U16(point.tick);
        out.U16(point.value);
    }
}

unsigned EnvelopeType(const Envelope& envelope) {
    if (envelope.points.empty()) return 0;
    return 1u | (envelope.sustain >= 0 ? 2u : 0u) | (envelope.loopStart >= 0 ? 4u : 0u);
}

unsigned PointIndex(int index) { return index >= 0 ? static_cast<unsigned>(index) : 0u; }

void WritePattern(Bytes& out, const Pattern& pattern) {
    Bytes packed;
    for (const Cell& cell : pattern.cells) {
        const unsigned fields = (cell.note ? 1u : 0u) | (cell.instrument ? 2u : 0u) |
                                (cell.volume ? 4u : 0u) | (cell.effect ? 8u : 0u) |
                                (cell.parameter ? 16u : 0u);
        packed.U8(0x80 | fields);
        if (cell.note) packed.U8(cell.note);
        if (cell.instrument) packed.U8(cell.instrument);
        if (cell.volume) packed.U8(cell.volume);
        if (cell.effect) packed.U8(cell.effect);
        if (cell.parameter) packed.U8(cell.parameter);
    }
    out.U32(9);
    out.U8(0);
    out.U16(static_cast<unsigned>(pattern.rows));
    out.U16(static_cast<unsigned>(packed.data.size()));
    out.data.insert(out.data.end(), packed.data.begin(), packed.data.end());
}

void WriteInstrument(Bytes& out, const Instrument& instrument) {
    out.U32(263);
    out.Text(instrument.name, 22);
    out.U8(0);
    out.U16(static_cast<unsigned>(instrument.samples.size()));
    out.U32(40);
    for (const std::uint8_t sample : instrument.sampleForNote) out.U8(sample);
    WriteEnvelopePoints(out, instrument.volume);
    WriteEnvelopePoints(out, instrument.panning);
    out.U8(static_cast<unsigned>(instrument.volume.points.size()));
    out.U8(static_cast<unsigned>(instrument.panning.points.size()));
    out.U8(PointIndex(instrument.volume.sustain));
    out.U8(PointIndex(instrument.volume.loopStart));
    out.U8(PointIndex(instrument.volume.loopEnd));
    out.U8(PointIndex(instrument.panning.sustain));
    out.U8(PointIndex(instrument.panning.loopStart));
    out.U8(PointIndex(instrument.panning.loopEnd));
    out.U8(EnvelopeType(instrument.volume));
    out.U8(EnvelopeType(instrument.panning));
    out.U8(instrument.vibratoType);
    out.U8(instrument.vibratoSweep);
    out.U8(instrument.vibratoDepth);
    out.U8(instrument.vibratoRate);
    out.U16(instrument.fadeout);
    out.Zeros(22);
    for (const Sample& sample : instrument.samples) {
        const auto bytes = [](std::size_t samples) { return static_cast<std::uint32_t>(samples * 2); };
        out.U32(bytes(sample.data.size()));
        out.U32(sample.loop == Loop::None ? 0 : bytes(sample.loopStart));
        out.U32(sample.loop == Loop::None ? 0 : bytes(sample.loopLength));
        out.U8(sample.volume);
        out.U8(static_cast<std::uint8_t>(sample.finetune));
        out.U8(static_cast<unsigned>(sample.loop) | 0x10u);
        out.U8(sample.panning);
        out.U8(static_cast<std::uint8_t>(sample.relativeNote));
        out.U8(0);
        out.Text(sample.name, 22);
    }
    for (const Sample& sample : instrument.samples) {
        std::int16_t previous = 0;
        for (const std::int16_t value : sample.data) {
            out.U16(static_cast<std::uint16_t>(value - previous));
            previous = value;
        }
    }
}

}  // namespace

void Tune(Sample& sample, double sampleRate, double referenceHz, int referenceMidi) {
    // Semitones the sample must be raised so that note referenceMidi, which
    // plays it at 8363 · 2^((referenceMidi − 60)/12) per second, sounds
    // at referenceHz: its own pitch at sampleRate is referenceHz too.
    const double wanted = dsp::NoteHz(referenceMidi);
    const double semitones =
        12 * dsp::Log2(sampleRate / 8363.0 * wanted / referenceHz) - (referenceMidi - 60);
    long steps = std::lround(semitones * 128);  // in 1/128 semitone
    long note = steps >= 0 ? (steps + 64) / 128 : -((-steps + 63) / 128);
    long fine = steps - note * 128;
    if (fine > 127) {
        fine -= 128;
        note += 1;
    }
    sample.relativeNote = static_cast<std::int8_t>(note);
    sample.finetune = static_cast<std::int8_t>(fine);
}

bool Validate(const Module& module, std::string& error) {
    if (module.name.size() > 20 || module.tracker.size() > 20) {
        error = "module or tracker name longer than 20 characters";
        return false;
    }
    if (module.channels < 2 || module.channels > 32 || module.channels % 2 != 0) {
        error = "channel count must be even, 2..32";
        return false;
    }
    if (module.tempo < 1 || module.tempo > 31 || module.bpm < 32 || module.bpm > 255) {
        error = "tempo must be 1..31 and BPM 32..255";
        return false;
    }
    if (module.patterns.empty() || module.patterns.size() > 256) {
        error = "1..256 patterns";
        return false;
    }
    if (module.orders.empty() || module.orders.size() > 256 || module.restart < 0 ||
        module.restart >= static_cast<int>(module.orders.size())) {
        error = "1..256 orders and a restart position among them";
        return false;
    }
    for (const std::uint8_t order : module.orders)
        if (order >= module.patterns.size()) {
            error = "order names a missing pattern";
            return false;
        }
    for (const Pattern& pattern : module.patterns) {
        if (pattern.rows < 1 || pattern.rows > 256 || pattern.channels != module.channels ||
            pattern.cells.size() != static_cast<std::size_t>(pattern.rows * pattern.channels)) {
            error = "pattern rows must be 1..256 with one cell per channel";
            return false;
        }
        for (const Cell& cell : pattern.cells)
            if (cell.note > KeyOff || cell.instrument > module.instruments.size()) {
                error = "cell with a note past key off or a missing instrument";
                return false;
            }
        if (pattern.cells.size() * 6 > 0xFFFF) {
            error = "pattern too large to pack";
            return false;
        }
    }
    if (module.instruments.empty() || module.instruments.size() > 128) {
        error = "1..128 instruments";
        return false;
    }
    for (const Instrument& instrument : module.instruments) {
        const std::string where = "instrument \"" + instrument.name + "\"";
        if (instrument.name.size() > 22 || instrument.samples.empty() || instrument.samples.size() > 16) {
            error = where + ": name over 22 characters or not 1..16 samples";
            return false;
        }
        for (const std::uint8_t index : instrument.sampleForNote)
            if (index >= instrument.samples.size()) {
                error = where + ": note mapped to a missing sample";
                return false;
            }
        if (!CheckEnvelope(instrument.volume, where, error) ||
            !CheckEnvelope(instrument.panning, where, error))
            return false;
        for (const Sample& sample : instrument.samples) {
            if (sample.name.size() > 22 || sample.data.empty() || sample.data.size() > 0x7FFFFFFF / 2 ||
                sample.volume > 64) {
                error = where + ": sample name, length or volume out of range";
                return false;
            }
            if (sample.loop != Loop::None &&
                (sample.loopLength == 0 || sample.loopStart + sample.loopLength > sample.data.size())) {
                error = where + ": sample loop outside the sample";
                return false;
            }
        }
    }
    return true;
}

std::vector<std::uint8_t> Write(const Module& module, std::string& error) {
    if (!Validate(module, error)) return {};
    Bytes out;
    out.Text("Extended Module: ", 17);
    out.Text(module.name, 20);
    out.U8(0x1A);
    out.Text(module.tracker, 20);
    out.U16(0x0104);
    out.U32(276);
    out.U16(static_cast<unsigned>(module.orders.size()));
    out.U16(static_cast<unsigned>(module.restart));
    out.U16(static_cast<unsigned>(module.channels));
    out.U16(static_cast<unsigned>(module.patterns.size()));
    out.U16(static_cast<unsigned>(module.instruments.size()));
    out.U16(module.linearFrequencies ? 1 : 0);
    out.U16(static_cast<unsigned>(module.tempo));
    out.U16(static_cast<unsigned>(module.bpm));
    for (std::size_t i = 0; i < 256; ++i) out.U8(i < module.orders.size() ? module.orders[i] : 0);
    for (const Pattern& pattern : module.patterns) WritePattern(out, pattern);
    for (const Instrument& instrument : module.instruments) WriteInstrument(out, instrument);
    return out.data;
}

}  // namespace xm
