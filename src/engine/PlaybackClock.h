#pragma once
// The playback clock's state, one per Player: read by the shell and the
// panels on the GUI thread while the timer thread writes it, so the fields
// the tick writes are atomic and never seen torn. The clock's steps are the
// Player's (PlaybackClock.cpp).
#include <atomic>
#include <cstdint>

namespace movarel {

enum PlayStateValue : uint8_t { Stopped = 0, Playing = 1, Paused = 2 };

struct ClockState {
    std::atomic<int32_t> CurrentSegment{0};
    std::atomic<int32_t> FrameIndex{-1};
    std::atomic<int32_t> TickCount{0};
    std::atomic<int32_t> TicksPerFrame{1};
    std::atomic<int32_t> Period{100};
    std::atomic<bool> FirstTick{false};
    std::atomic<bool> EndPosted{false};
    // The segment's last frame is on screen: it stays there for its period,
    // and the next tick ends the segment. Cleared at segment start.
    std::atomic<bool> LastFrameShown{false};
    std::atomic<bool> StopRequested{false};
    std::atomic<uint8_t> PlayState{Stopped};
    // The speed slider's position 0..8; 3 is normal speed. A factor set
    // directly leaves the position nearest to it.
    std::atomic<int32_t> SpeedPosition{3};
    // A factor set directly; 0 while the slider's position sets the speed.
    std::atomic<double> SpeedFactor{0.0};
    // The speed the clock plays at.
    double Factor() const;
    // Above 0 while StopTimer is killing the timer: a tick that waits for a
    // block gives up, so the kill never waits on a wait.
    std::atomic<int32_t> TimerStopping{0};
};

// Factors by speed position: 0.1, 0.25, 0.5, 1, 2, 3, 5, 10, 1000.
extern const float kSpeedFactors[9];
constexpr int32_t kNormalSpeedPosition = 3;

// The factors SetSpeedFactor accepts: 0.1 to 10, and the fastest setting,
// at which every frame is shown as fast as the ticks come.
constexpr double kSlowestFactor = 0.1;
constexpr double kFastestPacedFactor = 10.0;
// A factor brought into that range; NaN and factors of 0 or less give 1.
double ClampSpeedFactor(double factor);
// The slider position whose factor is nearest (by ratio) to factor.
int32_t NearestSpeedPosition(double factor);
// The sound plays time-stretched from half to twice normal speed; at other
// speeds it is silent.
bool SoundPlaysAt(double factor);

// The frame whose time holds the instant atMs: frame f lasts from f to f + 1
// frames of playback. position is where playback is, in frames of the
// segment (fractional), at the instant anchorMs; frames run at fps times
// factor per second.
int32_t DueFrame(double position, double anchorMs, double atMs, double fps, double factor);

// The resolution asked of the timer for a period: a quarter, at least 1 ms.
int32_t TimerResolutionFor(int32_t period);

// Where the sound starts for a frame: max(0, frame) / frames, at most 1
// (0 for a segment without frames).
double SoundFraction(int32_t frameIndex, int32_t frameCount);

}  // namespace movarel
