#pragma once
// A Player plays one Film: it owns the clock, the block queue and its two
// blocks, the decoding surfaces and the picture, the cursor track's read
// position and the timer, and it speaks outward only through a frame sink,
// a PlayerSound and its event queue.
//
// Threads: the GUI thread makes the calls below and drains the events; the
// timer thread runs TimerTick. The tick holds the engine lock from its first
// step to its last; presenting never takes it; stopping the timer waits for a
// running tick; refills and segment ends of a segment that was stopped or
// replaced since are dropped by generation.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

#include "engine/BlockQueue.h"
#include "engine/CursorTrack.h"
#include "engine/FrameDecoder.h"
#include "engine/FrameSink.h"
#include "engine/PlaybackClock.h"
#include "engine/PlayerEvents.h"
#include "engine/PlayerSound.h"
#include "engine/SeekIndex.h"
#include "film/Film.h"
#include "platform/PeriodicTimer.h"

namespace movarel {

// The screen a Player plays on: auto full screen and the depth check.
struct ScreenInfo {
    int32_t Width = 1920;
    int32_t Height = 1080;
    int32_t BitsPerPixel = 32;
};

struct PlayerSetup {
    FrameSink* Sink = nullptr;     // null: pictures go nowhere
    PlayerSound* Sound = nullptr;  // null: no sound
    ScreenInfo Screen;
    int32_t SpeedPosition = kNormalSpeedPosition;
    // A factor of its own (as SetSpeedFactor); 0: the position sets the speed.
    double SpeedFactor = 0;
    // The ticks run on the calling thread (TickManually) instead of a timer
    // thread: tests and movarel-tool.
    bool ManualTicks = false;
    // The monotonic clock the frames follow while no sound is heard. Empty:
    // std::chrono::steady_clock. Set (tests), manual ticks follow it too;
    // otherwise each manual tick shows the next frame, whatever the time.
    std::function<std::chrono::steady_clock::time_point()> Now;
    // The owner's Stop command (GUI thread): past the last segment, and after
    // a failure. Empty: StopPlaybackCommand.
    std::function<void()> Stop;
    // A segment's seek index is built in the background from its start on;
    // off, it is built at the first seek into the segment (movarel-tool's
    // plain playing never seeks).
    bool SeekIndexOnStart = true;
    SeekIndexLimits SeekLimits;
    // Called on a segment's index thread after each of its snapshots and
    // when its build ends (see SeekIndex::StartBuilding); may be empty.
    std::function<void(int32_t segment, const SeekIndexProgress&)> OnSeekIndexProgress;
};

// A frame of the film: segment and frame, both counted from 0.
struct FilmPosition {
    int32_t Segment = 0;
    int32_t Frame = 0;
};

class Player {
public:
    Player(const Film& film, const PlayerSetup& setup);
    // Stops the timer (waiting for a running tick) and the sound.
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    const Film& PlayedFilm() const { return film; }
    PlayerEvents& Events() { return events; }
    void SetScreen(const ScreenInfo& screen);

    // --- state, for the shell, the panels, the tests -------------------------
    ClockState& Clock() { return clock; }
    BlockState& Blocks() { return blocks; }
    DecodingState& Decoding() { return decoding; }
    CursorState& Cursor() { return cursor; }
    Picture& CurrentPicture() { return decoding.Image; }
    // The clock's current segment; null when the index is outside the film.
    const Segment* CurrentSegmentInfo() const { return film.Items(clock.CurrentSegment); }
    // The engine lock: the timer tick holds it from its first step to its last.
    std::recursive_mutex& EngineLock() { return engineLock; }
    // The text of the last failure that stopped playback from the timer thread.
    std::string LastEngineError();

    // --- the GUI thread -------------------------------------------------------
    // Starts segment index from its beginning, its first tick (first frame and
    // sound) at once. False when the segment cannot start (past the last one
    // too: the owner runs its Stop command then, on SegmentEnded).
    bool StartSegment(int32_t index);
    // Makes index the current segment when it is valid (stopping the timer
    // first); otherwise does nothing.
    void SelectSegment(int32_t index);
    // Period for the current segment, its ticks per frame and the speed.
    void RecalcTimerPeriod();
    // Pauses the sound, kills a running timer (waiting for its tick) and runs
    // a new one at Period. Raises "MMTimer = 0" when the timer cannot be made.
    void StartTimer();
    void StopTimer();
    bool TimerRunning();
    // Records the play state and posts PlayStateChanged when it changed.
    void SetPlayState(uint8_t state);
    // A change of the speed slider (0..8): new period, and the timer
    // restarted when playing, stopped otherwise.
    void SetSpeedPosition(int32_t position);
    // A speed factor of its own (ClampSpeedFactor: 0.1 to 10, or the
    // fastest setting): the sound's speed, a new period, and the timer
    // restarted when playing, stopped otherwise. The slider position becomes
    // the nearest one.
    void SetSpeedFactor(double factor);
    // The engine's part of the Stop command: timer and sound stopped, stop
    // requested, queue cleared, segment 0 selected, Stopped, FrameIndex -1.
    void StopPlaybackCommand();
    // Stops playback and lets go of the blocks (before the film goes away).
    void StopPlaybackForLoad();

    // The GUI thread: handles the queued events the engine acts on itself (a
    // refill; the next segment at a segment's end; a failure is shown and
    // stops playback) and hands each event on to forward (may be empty), in
    // order. Returns how many events there were.
    int DrainEvents(const std::function<void(const PlayerEvent&)>& forward = nullptr);
    // Only the queued refills, the other events staying queued (a tick that
    // waits for a block on the GUI thread, manual ticks).
    void RefillPostedBlocks();

    // --- seeking (PlayerSeek.cpp), the GUI thread ----------------------------
    // Shows frame of segment as playing from the segment's start shows it,
    // cursor included, and goes on from there in the same play state:
    // playing ticks on from the next frame (the sound from the frame's time
    // at normal speed), paused and stopped stay so with the frame presented.
    // Another segment is prepared as StartSegment prepares it (SegmentStarted
    // is posted). False, with nothing changed, for a frame outside the film
    // or one that cannot be decoded.
    bool SeekTo(int32_t segment, int32_t frame);
    // The frame shown at seconds into the film (segments back to back) or
    // into segment; false past the end or before the start. A segment's
    // frames last 1/fps seconds, or its ticks of 100 ms without a rate.
    bool PositionAtFilmTime(double seconds, FilmPosition* position) const;
    bool PositionAtSegmentTime(int32_t segment, double seconds, FilmPosition* position) const;
    // Seconds from the film's start to the start of position's frame, by
    // the same frame lengths; position is not checked against the film.
    double FilmTimeAt(const FilmPosition& position) const;
    // The film's whole length in seconds.
    double FilmLength() const;
    // How far the seek index of segment got (Idle when it has none yet).
    SeekIndexProgress SeekIndexProgressOf(int32_t segment);
    // Lets go of the seek indexes (their builds cancelled).
    void ForgetSeekIndexes();

    // Manual ticks: runs one tick when the timer runs; false when it does not.
    bool TickManually();
    // The player's timers that are alive (a stopped player has none).
    int LiveTimers() { return timers.LiveTimerCount(); }

    // --- steps of the tick (timer thread, engine lock held); tests call them --
    void TimerTick();
    void AdvanceFrame();

    // Block queue (BlockQueue.cpp).
    void ResetBlocks();
    bool PrimeBlocks();
    void DoBlockEmpty(Block* block);
    bool NextRecord();
    void WaitForBlock();
    const uint8_t* FrameRecord(int32_t* available);
    void PickUpHeadBlock();
    bool BlockRefillPending();
    // Hands the head block to the GUI thread for refilling (BlockNeeded).
    void HandBackHeadBlock();

    // Decoding of the current segment.
    bool PrepareDisplay();
    UnpackResult UnpackFrame();

    // Cursor track of the current segment.
    void RestoreCursorBackground() { movarel::RestoreCursorBackground(cursor, decoding.Image); }
    void ReadCursorSample();
    void SaveCursorBackground() { movarel::SaveCursorBackground(cursor, decoding.Image); }
    void DrawCursor() { movarel::DrawCursor(cursor, decoding.Image); }
    void CommitCursorPosition() { movarel::CommitCursorPosition(cursor); }
    int CursorAreaRects(PixelRect rects[2]) { return movarel::CursorAreaRects(cursor, decoding.Image, rects); }

private:
    void RunTimer(bool start, bool atOnce = false);
    void StopFromTick(const std::string& message);
    void EndSegment();
    bool UnpackOrStop(bool* unpacked);
    void PresentWhole();
    void PresentCursorMove();
    void DropPostedBlocks();
    void ReportDamagedFrames(const std::string& why);
    void StartSound();
    bool StepToNextFrame();
    int32_t PacedDueFrame(bool firstTick);
    bool SkipLateFrames(int32_t due);
    void ApplySpeed();
    void RunStopCommand();
    // The seek index of segment index, made and its build started when there
    // is none (null for no such segment or no frame stream).
    SeekIndex* SeekIndexFor(int32_t index);

    const Film& film;
    FrameSink* sink;
    PlayerSound* sound;
    PlayerSound noSound;
    std::atomic<int32_t> screenBits;
    std::atomic<int32_t> screenWidth;
    std::atomic<int32_t> screenHeight;
    bool manualTicks;
    // Ticks choose the frame by time (the sound's, else the clock's); manual
    // ticks without a clock of their own show one frame each.
    bool paced;
    std::function<std::chrono::steady_clock::time_point()> now;
    std::function<void()> ownerStop;
    PeriodicTimers timers;

    ClockState clock;
    BlockState blocks;
    DecodingState decoding;
    CursorState cursor;
    PlayerEvents events;

    std::recursive_mutex engineLock;
    // Guards timerId: the GUI thread and the tick both stop timers.
    std::mutex timerLock;
    uint32_t timerId = 0;
    // At three ticks per frame the record decoded on phase 1 waits for phase 2.
    bool frameUnpacked = false;
    // Where playback was (in frames) at anchorTime: set at the timer's first
    // tick and whenever the sound tells where it is. Engine lock.
    double anchorPosition = 0;
    std::chrono::steady_clock::time_point anchorTime{};
    // A wait for a block held the clock: the next tick takes up the time
    // from the frame it shows.
    bool stalled = false;
    // The depth of the segment being prepared cannot be shown.
    bool minimizeRequested = false;
    std::mutex errorLock;
    std::string lastError;

    // The GUI thread only. A few segments keep their index, the one used
    // longest ago going first, each within its own memory limit.
    struct KeptSeekIndex {
        const Segment* segment = nullptr;
        const FileStream* stream = nullptr;
        uint64_t lastUse = 0;
        std::unique_ptr<SeekIndex> index;
    };
    std::vector<KeptSeekIndex> seekIndexes;
    // A seek decodes into this and swaps it with the picture on screen.
    Picture seekPicture;
    uint64_t seekUses = 0;
    bool seekIndexOnStart = true;
    SeekIndexLimits seekLimits;
    std::function<void(int32_t, const SeekIndexProgress&)> onSeekIndexProgress;
};

}  // namespace movarel
