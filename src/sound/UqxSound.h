#pragma once
// The segment's sound: which route plays it (the wave-output device fed with
// the file's raw bytes, or the media player), the operations the playback
// clock calls, the refill of returned wave-output buffers, and the volume.
//
// Threads: OpenSound, OnWaveDone, CloseWaveOut and the volume run on the main
// thread; StartSound, PauseSound and StopSound also run on the timer thread
// under the engine lock. The sound has a lock of its own, taken by every
// operation here and never held while taking the engine lock.
//
// Wiring in the shell: InitSound(host) on the main thread once the main window
// exists; the clock gets a TqxSoundCalls; the host's MM_WOM_DONE message goes
// to OnWaveDoneMessage(lParam); ShutdownSound when the main window goes.
//
// A block wait (the timer waits for frame data) stops the sound and then
// starts it again: StartSound reopens what StopSound closed, so the sound
// resumes at the current frame on both routes.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/EngineHost.h"
#include "platform/WaveOut.h"

namespace movarel {

constexpr uint32_t kSoundBufferSize = 16384;

struct SoundState {
    std::string SoundPath;          // the segment's sound file; empty: no sound
    bool UseMediaPlayer = true;     // false: the wave-output route
    bool IsNT = true;               // the wave-output route is the normal one
    std::unique_ptr<TWaveOut> WaveOut;
    bool WaveOpen = false;          // the device and its buffers are open
    WaveHeader Headers[2];
    std::vector<uint8_t> Buffers[2];  // behind Headers[i].lpData
    int SoundFile = -1;             // the file read on the wave-output route; -1: none
    std::atomic<bool> SoundActive{false};  // returned buffers are refilled
    // StopSound closed a sound that was open; StartSound opens it again (the
    // restart after a block wait).
    bool ReopenOnStart = false;
    EngineHost* Host = nullptr;     // receives MM_WOM_DONE posts
    std::thread::id MainThread;
    std::recursive_mutex Lock;
};

SoundState& SoundModule();

// Records the host that receives the device's buffer-done posts and the main
// thread; called on the main thread when the main window exists.
void InitSound(EngineHost* host);
// Stops and closes everything (the main window is going away).
void ShutdownSound();

void OpenSound();
void StartSound();
void PauseSound();
void StopSound();
void SeekSound();
bool OpenWaveOut(const MpegLayer3WaveFormat& format, EngineHost* window);
void CloseWaveOut();
bool ReadSoundBuffer(WaveHeader* header);

// The MM_WOM_DONE handler: lParam is the returned header. A header that is
// not one of ours, or whose return was handled already, is ignored.
void OnWaveDone(WaveHeader* header);
inline void OnWaveDoneMessage(uintptr_t lParam) { OnWaveDone(reinterpret_cast<WaveHeader*>(lParam)); }
// Handles every returned buffer now (main thread), without waiting for the
// posted messages, which then find nothing to do.
void PumpWaveDone();

float GetVolumePercent();
void SetVolumePercent(float percent);

// The sound operations the clock calls.
class TqxSoundCalls : public SoundCalls {
public:
    void OpenSound() override;
    void StartSound() override;
    void PauseSound() override;
    void StopSound() override;
    // The media player's mode on that route; on the wave-output route Playing
    // while buffers are being refilled, else Stopped.
    int MediaPlayerMode() override;
};

}  // namespace movarel
