#pragma once
// An audio output without a device, for tests and benchmarks: it records the
// calls made to it and, when asked to Pull, takes samples from its source as
// a device would (only while open and not paused) and keeps them with the
// gain applied, so a test reads exactly what would have been heard. Its
// device holds a set number of frames before they are heard (none unless
// told), so a position that follows the sound can be checked exactly.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioOutput.h"

namespace movarel {

class RecordingAudioOutput : public AudioOutput {
public:
    // hasDevice false: an output on a machine without audio (Open fails).
    explicit RecordingAudioOutput(bool hasDevice = true) : hasDevice_(hasDevice) {}

    bool Open(const PcmFormat& format, AudioSource* source) override;
    void Close() override;
    void Pause() override;
    void Resume() override;
    void SetVolume(uint32_t volume) override;
    uint32_t Volume() const override;
    bool HasDevice() override { return hasDevice_; }
    // The frames asked by the pulls since Open, less the frames held.
    uint64_t HeardFrames() const override;
    void SetHeldFrames(size_t frames) { held_.store(frames); }

    // Asks the source for up to frames frames, as the device does for one
    // buffer; returns how many it gave (0 when closed or paused).
    size_t Pull(size_t frames);
    // Pulls in device-sized steps until the source runs out or limit frames
    // have come; returns how many came.
    size_t PullAll(size_t limit = 100'000'000, size_t step = 1024);

    // "open RATExCHANNELS", "close", "pause", "resume", "volume HEX", in order.
    std::vector<std::string> Calls() const;
    std::vector<int16_t> Played() const;
    PcmFormat Format() const;
    bool Running() const;
    void Forget();  // clears the calls and the samples

private:
    const bool hasDevice_;
    mutable std::mutex lock_;
    AudioSource* source_ = nullptr;
    PcmFormat format_;
    bool paused_ = true;
    uint32_t volume_ = kFullVolume;
    std::vector<std::string> calls_;
    std::vector<int16_t> played_;
    std::atomic<uint64_t> asked_{0};
    std::atomic<size_t> held_{0};
};

}  // namespace movarel
