#include "platform/RecordingAudioOutput.h"

#include <algorithm>
#include <cstdio>

namespace movarel {

bool RecordingAudioOutput::Open(const PcmFormat& format, AudioSource* source) {
    std::lock_guard<std::mutex> guard(FLock);
    FCalls.push_back("open " + std::to_string(format.rate) + "x" + std::to_string(format.channels));
    FSource = nullptr;
    FPaused = true;
    FAsked.store(0);
    if (!FHasDevice || format.rate <= 0 || format.channels < 1 || format.channels > 8 || source == nullptr)
        return false;
    FSource = source;
    FFormat = format;
    return true;
}

void RecordingAudioOutput::Close() {
    std::lock_guard<std::mutex> guard(FLock);
    FCalls.push_back("close");
    FSource = nullptr;
    FPaused = true;
    FAsked.store(0);
}

void RecordingAudioOutput::Pause() {
    std::lock_guard<std::mutex> guard(FLock);
    FCalls.push_back("pause");
    FPaused = true;
}

void RecordingAudioOutput::Resume() {
    std::lock_guard<std::mutex> guard(FLock);
    FCalls.push_back("resume");
    FPaused = false;
}

void RecordingAudioOutput::SetVolume(uint32_t volume) {
    std::lock_guard<std::mutex> guard(FLock);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", volume);
    FCalls.push_back(std::string("volume ") + hex);
    FVolume = volume;
}

uint32_t RecordingAudioOutput::Volume() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FVolume;
}

size_t RecordingAudioOutput::Pull(size_t frames) {
    // The lock is held across the read, as a device holds its own around a
    // pull: the source's caller must not hold its lock while calling us.
    std::lock_guard<std::mutex> guard(FLock);
    if (FSource == nullptr || FPaused || frames == 0)
        return 0;
    const size_t channels = static_cast<size_t>(FFormat.channels);
    std::vector<int16_t> buffer(frames * channels);
    size_t got = FSource->Read(buffer.data(), frames);
    FAsked.fetch_add(frames);
    if (got > frames)
        got = frames;
    ApplyGain(buffer.data(), got * channels, FFormat.channels, FVolume);
    FPlayed.insert(FPlayed.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(got * channels));
    return got;
}

size_t RecordingAudioOutput::PullAll(size_t limit, size_t step) {
    size_t total = 0;
    while (total < limit) {
        size_t want = std::min(step, limit - total);
        size_t got = Pull(want);
        total += got;
        if (got < want)
            break;
    }
    return total;
}

uint64_t RecordingAudioOutput::HeardFrames() const {
    const uint64_t asked = FAsked.load();
    const uint64_t held = FHeld.load();
    return asked > held ? asked - held : 0;
}

std::vector<std::string> RecordingAudioOutput::Calls() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FCalls;
}

std::vector<int16_t> RecordingAudioOutput::Played() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FPlayed;
}

PcmFormat RecordingAudioOutput::Format() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FFormat;
}

bool RecordingAudioOutput::Running() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FSource != nullptr && !FPaused;
}

void RecordingAudioOutput::Forget() {
    std::lock_guard<std::mutex> guard(FLock);
    FCalls.clear();
    FPlayed.clear();
}

}  // namespace movarel
