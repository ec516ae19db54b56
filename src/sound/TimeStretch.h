#pragma once
// Plays a decoded track faster or slower with its pitch kept, so a lesson
// watched at 1.5x still speaks in the speaker's voice. SoundTouch does the
// stretching (light enough for an audio callback, and made for speech-range
// tempo changes); at a factor of exactly 1 the samples pass through untouched.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace movarel {

class TimeStretch {
public:
    // The range in which the sound keeps playing; outside it the player is silent.
    static constexpr double kLowestFactor = 0.5;
    static constexpr double kHighestFactor = 2.0;
    static bool Stretchable(double factor) { return factor >= kLowestFactor && factor <= kHighestFactor; }

    TimeStretch(int32_t sampleRate, int32_t channels);
    ~TimeStretch();
    TimeStretch(const TimeStretch&) = delete;
    TimeStretch& operator=(const TimeStretch&) = delete;

    // The speed factor, clamped into the stretchable range. Samples fed
    // before the change and not yet taken are dropped, so the new speed is
    // heard at once; the caller feeds from the current position again.
    void SetFactor(double factor);
    double Factor() const { return factor_; }
    bool PassesThrough() const { return factor_ == 1.0; }

    // Feeds interleaved 16-bit frames.
    void Put(const int16_t* samples, size_t frames);
    // Takes up to maxFrames ready frames into out; returns how many.
    size_t Take(int16_t* out, size_t maxFrames);
    // Frames ready to be taken.
    size_t ReadyFrames() const;
    // Input frames fed but not yet turned into output: the stretcher's own
    // latency, which a clock that follows the sound has to account for.
    size_t UnprocessedInputFrames() const;
    // The end of the track: whatever is held back comes out.
    void Flush();
    // Forgets everything fed (a seek, a stop).
    void Clear();

    int32_t Channels() const { return channels_; }

private:
    int32_t sampleRate_;
    int32_t channels_;
    double factor_ = 1.0;
    std::unique_ptr<soundtouch::SoundTouch> stretcher_;
    std::deque<int16_t> passThrough_;  // at 1x: the samples as fed
    std::vector<float> floats_;        // conversion buffer
};

}  // namespace movarel
