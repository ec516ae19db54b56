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
// Wiring in the shell: InitSound(post) on the main thread once the main window
// exists, with a post that hands a returned buffer to OnWaveDone on the main
// thread; the player gets a TqxSoundCalls; ShutdownSound when the main window
// goes.
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

#include <functional>

#include "engine/PlayerSound.h"
#include "platform/WaveOut.h"

namespace movarel {

constexpr uint32_t kSoundBufferSize = 16384;

// Hands a returned wave-output buffer to the main thread (from the device's
// thread); it calls OnWaveDone there.
using WaveDonePost = std::function<void(WaveHeader* header)>;

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
    WaveDonePost PostWaveDone;      // empty: no main thread, no wave-output route
    std::thread::id MainThread;
    std::recursive_mutex Lock;
};

SoundState& SoundModule();

// Records the post that hands the device's returned buffers to the main
// thread; called on the main thread when the main window exists.
void InitSound(WaveDonePost post);
// Stops and closes everything (the main window is going away).
void ShutdownSound();

// soundFile: the segment's sound file; empty for none.
void OpenSound(const std::string& soundFile);
// Plays from fraction (0 to 1) of the track's length.
void StartSound(double fraction);
void PauseSound();
void StopSound();
void SeekSound(double fraction);
bool OpenWaveOut(const MpegLayer3WaveFormat& format, const WaveDonePost& post);
void CloseWaveOut();
bool ReadSoundBuffer(WaveHeader* header);

// A returned buffer, on the main thread. A header that is not one of ours,
// or whose return was handled already, is ignored.
void OnWaveDone(WaveHeader* header);
// Handles every returned buffer now (main thread), without waiting for the
// posted messages, which then find nothing to do.
void PumpWaveDone();

float GetVolumePercent();
void SetVolumePercent(float percent);

// The sound operations the player calls.
class TqxSoundCalls : public PlayerSound {
public:
    void Open(const std::string& soundFile) override;
    void Start(double fraction) override;
    void Pause() override;
    void Stop() override;
    // The media player's mode on that route; on the wave-output route Playing
    // while buffers are being refilled, else Stopped.
    int MediaPlayerMode();
};

}  // namespace movarel
