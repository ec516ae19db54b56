#include "platform/RecordingAudioOutput.h"

#include <algorithm>
#include <cstdio>

namespace movarel {

bool RecordingAudioOutput::Open(const PcmFormat& format, AudioSource* source) {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back("open " + std::to_string(format.rate) + "x" + std::to_string(format.channels));
    source_ = nullptr;
    paused_ = true;
    asked_.store(0);
    if (!hasDevice_ || format.rate <= 0 || format.channels < 1 || format.channels > 8 || source == nullptr)
        return false;
    source_ = source;
    format_ = format;
    return true;
}

void RecordingAudioOutput::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back("close");
    source_ = nullptr;
    paused_ = true;
    asked_.store(0);
}

void RecordingAudioOutput::Pause() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back("pause");
    paused_ = true;
}

void RecordingAudioOutput::Resume() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back("resume");
    paused_ = false;
}

void RecordingAudioOutput::SetVolume(uint32_t volume) {
    std::lock_guard<std::mutex> guard(lock_);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", volume);
    calls_.push_back(std::string("volume ") + hex);
    volume_ = volume;
}

uint32_t RecordingAudioOutput::Volume() const {
    std::lock_guard<std::mutex> guard(lock_);
    return volume_;
}

size_t RecordingAudioOutput::Pull(size_t frames) {
    // The lock is held across the read, as a device holds its own around a
    // pull: the source's caller must not hold its lock while calling us.
    std::lock_guard<std::mutex> guard(lock_);
    if (source_ == nullptr || paused_ || frames == 0)
        return 0;
    const size_t channels = static_cast<size_t>(format_.channels);
    std::vector<int16_t> buffer(frames * channels);
    size_t got = source_->Read(buffer.data(), frames);
    asked_.fetch_add(frames);
    if (got > frames)
        got = frames;
    ApplyGain(buffer.data(), got * channels, format_.channels, volume_);
    played_.insert(played_.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(got * channels));
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
    const uint64_t asked = asked_.load();
    const uint64_t held = held_.load();
    return asked > held ? asked - held : 0;
}

std::vector<std::string> RecordingAudioOutput::Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

std::vector<int16_t> RecordingAudioOutput::Played() const {
    std::lock_guard<std::mutex> guard(lock_);
    return played_;
}

PcmFormat RecordingAudioOutput::Format() const {
    std::lock_guard<std::mutex> guard(lock_);
    return format_;
}

bool RecordingAudioOutput::Running() const {
    std::lock_guard<std::mutex> guard(lock_);
    return source_ != nullptr && !paused_;
}

void RecordingAudioOutput::Forget() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.clear();
    played_.clear();
}

}  // namespace movarel
