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
    void SetVolume(uint32_t volume) override { FVolume.store(volume); }
    uint32_t Volume() const override { return FVolume.load(); }
    bool HasDevice() override;
    // Estimated from the time since the last pull: its frames are heard over
    // the buffer's time after the frames the device itself still holds (one
    // buffer for a sound card's driver, none for the disk and dummy ones).
    uint64_t HeardFrames() const override;

private:
    static void Fill(void* user, uint8_t* stream, int length);

    std::mutex FLock;  // the calls above among themselves; never taken by Fill
    int FStarted = 0;  // 0 not tried, 1 running, -1 no audio subsystem
    uint32_t FDevice = 0;
    PcmFormat FFormat;
    AudioSource* FSource = nullptr;
    std::atomic<uint32_t> FVolume{kFullVolume};

    // Where the stream is, stamped by each pull.
    mutable std::mutex FPlayedLock;  // only these fields, held briefly
    uint64_t FAsked = 0;             // frames asked of the source since Open
    size_t FLastPull = 0;            // frames of the last pull
    size_t FDeviceHeld = 0;          // frames the device holds after a pull
    int FRate = 0;
    std::chrono::steady_clock::time_point FLastPullAt;
};

}  // namespace movarel
