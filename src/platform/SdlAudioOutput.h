#pragma once
// The audio output on SDL's audio subsystem. The subsystem is started by the
// first Open or HasDevice of an instance (never the video one, and without
// SDL's signal handlers, which would swallow SIGINT and SIGTERM in the GUI)
// and ended with the instance, so a new instance reads SDL_AUDIODRIVER
// afresh. A machine without audio is no error: Open says false and the
// player goes on without sound.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/AudioOutput.h"

namespace movarel {

class SdlAudioOutput : public AudioOutput {
public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool Open(const PcmFormat& format, AudioSource* source) override;
    void Close() override;
    void Pause() override;
    void Resume() override;
    void SetVolume(uint32_t volume) override { volume_.store(volume); }
    uint32_t Volume() const override { return volume_.load(); }
    bool HasDevice() override;
    // Estimated from the time since the last pull: its frames are heard over
    // the buffer's time after the frames the device itself still holds (one
    // buffer for a sound card's driver, none for the disk and dummy ones).
    uint64_t HeardFrames() const override;

private:
    static void Fill(void* user, uint8_t* stream, int length);

    std::mutex lock_;  // the calls above among themselves; never taken by Fill
    int started_ = 0;  // 0 not tried, 1 running, -1 no audio subsystem
    uint32_t device_ = 0;
    PcmFormat format_;
    AudioSource* source_ = nullptr;
    std::atomic<uint32_t> volume_{kFullVolume};

    // Where the stream is, stamped by each pull.
    mutable std::mutex playedLock_;  // only these fields, held briefly
    uint64_t asked_ = 0;             // frames asked of the source since Open
    size_t lastPull_ = 0;            // frames of the last pull
    size_t deviceHeld_ = 0;          // frames the device holds after a pull
    int rate_ = 0;
    std::chrono::steady_clock::time_point lastPullAt_;
};

}  // namespace movarel
