#include "sound/TimeStretch.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace movarel {

static_assert(std::is_same_v<soundtouch::SAMPLETYPE, float>,
              "the system's SoundTouch is built for float samples");

TimeStretch::TimeStretch(int32_t sampleRate, int32_t channels)
    : sampleRate_(std::max(sampleRate, 1)),
      channels_(std::clamp(channels, 1, 2)),
      stretcher_(std::make_unique<soundtouch::SoundTouch>()) {
    stretcher_->setSampleRate(static_cast<unsigned>(sampleRate_));
    stretcher_->setChannels(static_cast<unsigned>(channels_));
    // Quick seek costs a little quality for a large saving in time per
    // refill; speech does not suffer from it.
    stretcher_->setSetting(SETTING_USE_QUICKSEEK, 1);
}

TimeStretch::~TimeStretch() = default;

void TimeStretch::SetFactor(double factor) {
    if (!std::isfinite(factor))
        factor = 1.0;
    factor = std::clamp(factor, kLowestFactor, kHighestFactor);
    if (factor == factor_)
        return;
    factor_ = factor;
    Clear();
    stretcher_->setTempo(factor_);
}

void TimeStretch::Put(const int16_t* samples, size_t frames) {
    const size_t count = frames * static_cast<size_t>(channels_);
    if (PassesThrough()) {
        passThrough_.insert(passThrough_.end(), samples, samples + count);
        return;
    }
    floats_.resize(count);
    for (size_t i = 0; i < count; ++i)
        floats_[i] = static_cast<float>(samples[i]) / 32768.0f;
    stretcher_->putSamples(floats_.data(), static_cast<unsigned>(frames));
}

size_t TimeStretch::Take(int16_t* out, size_t maxFrames) {
    const size_t channels = static_cast<size_t>(channels_);
    if (PassesThrough()) {
        const size_t frames = std::min(maxFrames, passThrough_.size() / channels);
        std::copy_n(passThrough_.begin(), frames * channels, out);
        passThrough_.erase(passThrough_.begin(), passThrough_.begin() + static_cast<long>(frames * channels));
        return frames;
    }
    floats_.resize(maxFrames * channels);
    const size_t frames = stretcher_->receiveSamples(floats_.data(), static_cast<unsigned>(maxFrames));
    for (size_t i = 0; i < frames * channels; ++i) {
        const float v = std::clamp(floats_[i] * 32768.0f, -32768.0f, 32767.0f);
        out[i] = static_cast<int16_t>(std::lrint(v));
    }
    return frames;
}

size_t TimeStretch::ReadyFrames() const {
    if (PassesThrough())
        return passThrough_.size() / static_cast<size_t>(channels_);
    return stretcher_->numSamples();
}

size_t TimeStretch::UnprocessedInputFrames() const {
    return PassesThrough() ? 0 : stretcher_->numUnprocessedSamples();
}

void TimeStretch::Flush() {
    if (!PassesThrough())
        stretcher_->flush();
}

void TimeStretch::Clear() {
    passThrough_.clear();
    stretcher_->clear();
}

}  // namespace movarel
