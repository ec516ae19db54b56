#pragma once
// What the playback engine asks of the rest of the player. The shell
// implements it with the main window; tests and movarel-tool implement it
// headless. Every method has a harmless default so a host overrides only
// what it shows.
#include <cstdint>

#include "engine/Command.h"  // a posted WM_COMMAND_MSG carries one

namespace movarel {

struct Picture;

// Window messages that travel to the main thread, numbered as the player's
// private messages are.
constexpr uint32_t WM_COMMAND_MSG = 0x0111;
constexpr uint32_t UM_BLOCKEMPTY = 1024 + 101;  // lParam: the Block* to refill
constexpr uint32_t UM_BLOCKERROR = 1024 + 102;
constexpr uint32_t MM_WOM_DONE = 0x3BD;         // lParam: the returned sound buffer

struct PixelRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Posts a message to the main thread (from any thread); the host's main
    // thread later calls DispatchEngineMessage with it.
    virtual void PostToMainThread(uint32_t message, uintptr_t wParam, uintptr_t lParam) = 0;

    // Whether a main window exists to receive posted messages.
    virtual bool HasMainWindow() const { return true; }

    // The Stop command of the shell (timer and sound stopped, queue cleared,
    // segment 0 selected or the window closed with close-on-finish).
    virtual void RunStopCommand() {}

    // The whole picture is ready to be shown. Called on the timer thread under
    // the engine lock; the host copies what it needs and returns quickly.
    virtual void PresentFrame(const Picture& /*picture*/) {}
    // Only the cursor's surroundings changed: one or two rectangles.
    virtual void PresentCursorArea(const Picture& /*picture*/, const PixelRect* /*rects*/, int /*count*/) {}

    // The play state changed (Stopped 0, Playing 1, Paused 2).
    virtual void PlayStateChanged(int /*state*/) {}
    // The panel's progress and time display (from the timer thread too).
    virtual void RefreshTimeDisplay() {}
    // A segment was selected: the panel shows its description.
    virtual void ShowSegmentDescription() {}
    virtual void CheckAutoFullScreen() {}
    virtual void RecalcGeometry() {}
    virtual void SelectInSegmentList(int32_t /*index*/) {}
    virtual void MinimizeMainWindow() {}

    // Manual-tick mode runs the timer's ticks on the main thread, so a tick
    // that waits for a block refill cannot wait for a later turn of the
    // message loop: it asks the host to handle the messages posted so far
    // (through DispatchEngineMessage). False: the host cannot.
    virtual bool PumpPostedMessages() { return false; }

    // The screen's size and colour depth.
    virtual int32_t ScreenWidth() const { return 1920; }
    virtual int32_t ScreenHeight() const { return 1080; }
    virtual int32_t ScreenBitsPerPixel() const { return 32; }
};

// The sound operations the clock calls; the sound module provides them, the
// default does nothing (a player without sound).
class SoundCalls {
public:
    virtual ~SoundCalls() = default;
    virtual void OpenSound() {}
    virtual void StartSound() {}
    virtual void PauseSound() {}
    virtual void StopSound() {}
    // The media player's mode, remembered across a block wait; 1 = Stopped.
    virtual int MediaPlayerMode() { return 1; }
};

}  // namespace movarel
