#include "SoundTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <system_error>
#include <unistd.h>

namespace movarel::demo {
namespace {

constexpr int kRate = 44100;

// A fixed noise source, so the same film comes out every time.
struct Noise {
    uint32_t state = 0x2545F491u;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / double(1u << 23) - 1.0;
    }
};

void AddEvent(std::vector<double>& left, std::vector<double>& right, const SoundEvent& e, Noise& noise) {
    size_t start = static_cast<size_t>(std::max(0.0, e.time) * kRate);
    auto add = [&](size_t i, double v, double pan) {
        if (start + i < left.size()) {
            left[start + i] += v * (1.0 - pan);
            right[start + i] += v * (1.0 + pan);
        }
    };
    const double pi = std::numbers::pi;
    switch (e.sound) {
        case Sound::Key:
        case Sound::Space: {
            // A short noise burst over a low thud; the space bar sounds deeper.
            double thud = e.sound == Sound::Space ? 95.0 : 160.0;
            double pan = (noise.Next()) * 0.3;
            for (size_t i = 0; i < kRate * 40 / 1000; ++i) {
                double t = double(i) / kRate;
                double v = 0.28 * noise.Next() * std::exp(-t / 0.004) +
                           0.20 * std::sin(2 * pi * thud * t) * std::exp(-t / 0.012);
                add(i, v, pan);
            }
            break;
        }
        case Sound::Click:
            for (size_t i = 0; i < kRate * 15 / 1000; ++i) {
                double t = double(i) / kRate;
                add(i, 0.35 * noise.Next() * std::exp(-t / 0.0015) + 0.15 * std::sin(2 * pi * 2200 * t) * std::exp(-t / 0.003), 0.0);
            }
            break;
        case Sound::Chime:
            for (int note = 0; note < 2; ++note) {
                double f = note == 0 ? 659.25 : 987.77;
                size_t offset = static_cast<size_t>(note * kRate * 0.16);
                for (size_t i = 0; i < kRate * 9 / 10; ++i) {
                    double t = double(i) / kRate;
                    double v = 0.16 * std::exp(-t / 0.25) *
                               (std::sin(2 * pi * f * t) + 0.3 * std::sin(2 * pi * 2 * f * t));
                    add(offset + i, v, note == 0 ? -0.2 : 0.2);
                }
            }
            break;
    }
}

void PutU32(writer::Bytes& out, uint32_t v) { writer::PutInt32(out, static_cast<int32_t>(v)); }

void PutText(writer::Bytes& out, const char* four) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(four[i]));
}

bool HaveCommand(const char* name) {
    std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(probe.c_str()) == 0;
}

}  // namespace

writer::Bytes SynthesiseWav(const std::vector<SoundEvent>& events, double seconds) {
    size_t frames = static_cast<size_t>(std::max(0.0, seconds) * kRate);
    std::vector<double> left(frames, 0.0), right(frames, 0.0);
    Noise noise;
    // The room: a faint hiss, so the track is never digital silence.
    for (size_t i = 0; i < frames; ++i) {
        double n = 0.002 * noise.Next();
        left[i] += n;
        right[i] += n;
    }
    for (const SoundEvent& e : events)
        AddEvent(left, right, e, noise);

    uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
    writer::Bytes out;
    PutText(out, "RIFF");
    PutU32(out, 36 + dataBytes);
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutU32(out, 16);
    writer::PutUInt16(out, 1);  // PCM
    writer::PutUInt16(out, 2);
    PutU32(out, kRate);
    PutU32(out, kRate * 4);
    writer::PutUInt16(out, 4);
    writer::PutUInt16(out, 16);
    PutText(out, "data");
    PutU32(out, dataBytes);
    out.reserve(out.size() + dataBytes);
    for (size_t i = 0; i < frames; ++i)
        for (double v : {left[i], right[i]})
            writer::PutUInt16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32000))));
    return out;
}

writer::Bytes EncodeMp3(const writer::Bytes& wav, std::string& whyNot) {
    if (!HaveCommand("lame")) {
        whyNot = "the lame encoder is not installed";
        return {};
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/movarel-demo-XXXXXX";
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    if (!mkdtemp(dir.data())) {
        whyNot = "no temporary folder for the encoder";
        return {};
    }
    std::filesystem::path folder(dir.data());
    writer::Bytes mp3;
    try {
        writer::WriteFileBytes((folder / "track.wav").string(), wav);
        // No tag fields and no info frame: the track starts with a frame header.
        std::string command = "lame --quiet -t -b 128 '" + (folder / "track.wav").string() + "' '" +
                              (folder / "track.mp3").string() + "'";
        if (std::system(command.c_str()) == 0)
            mp3 = writer::ReadFileBytes((folder / "track.mp3").string());
        if (mp3.empty())
            whyNot = "the lame encoder failed";
    } catch (const std::exception& e) {
        whyNot = e.what();
        mp3.clear();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return mp3;
}

}  // namespace movarel::demo
