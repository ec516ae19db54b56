#include "engine/PlaybackClock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "engine/ClockState.h"
#include "engine/CursorTrack.h"
#include "engine/EngineHost.h"
#include "engine/FrameDecoder.h"
#include "engine/BlockQueue.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "platform/UserMessages.h"
#include "platform/PeriodicTimer.h"
#include "platform/Rounding.h"

namespace movarel {
namespace {

struct EngineState {
    std::atomic<EngineHost*> HostPtr{nullptr};
    std::atomic<SoundCalls*> SoundPtr{nullptr};
    SoundCalls NoSound;
    std::recursive_mutex Lock;
    // Guards Clock().TimerId: the main thread and the tick both stop timers.
    std::mutex TimerLock;
    // At three ticks per frame the record decoded on phase 1 waits for phase 2.
    bool FrameUnpacked = false;
    std::mutex ErrorLock;
    std::string LastError;
};

EngineState& Engine() {
    static EngineState state;
    return state;
}

void TimerCallback();

void RunTimer(bool start, TimerStart first = TimerStart::AfterPeriod) {
    EngineState& engine = Engine();
    ClockState& clock = Clock();
    Sound().PauseSound();
    uint32_t id = 0;
    {
        std::lock_guard<std::mutex> guard(engine.TimerLock);
        id = clock.TimerId;
        clock.TimerId = 0;
    }
    if (id != 0) {
        clock.TimerStopping++;
        TimerKillEvent(id);
        // A tick that was running has finished once the lock is ours.
        engine.Lock.lock();
        engine.Lock.unlock();
        clock.TimerStopping--;
    }
    if (!start)
        return;
    if (clock.Period < 1)
        clock.Period = 1;
    const int32_t period = clock.Period;
    const int32_t resolution = TimerResolutionFor(period);
    clock.FirstTick = true;
    // Held until the id is stored, so a first tick that ends the segment at
    // once finds the timer it has to stop.
    std::lock_guard<std::mutex> guard(engine.TimerLock);
    uint32_t newId =
        TimerSetEvent(static_cast<uint32_t>(period), static_cast<uint32_t>(resolution), TimerCallback, first);
    if (newId == 0)
        throw Error("MMTimer = 0");
    clock.TimerId = newId;
}

// Stops the segment from the timer thread and hands the message to the main
// thread, which shows it and runs the Stop command.
void StopFromTick(const std::string& message) {
    {
        std::lock_guard<std::mutex> guard(Engine().ErrorLock);
        Engine().LastError = message;
    }
    Clock().EndPosted = true;
    try {
        RunTimer(false);
    } catch (...) {
    }
    EngineHost* host = Host();
    if (host != nullptr && host->HasMainWindow()) {
        host->PostToMainThread(UM_ENGINEERROR, 0, Blocks().Generation.load());
    } else {
        Clock().StopRequested = true;
        ShowMessage(message, Texts().Error, MsgIcon::Error, MsgOwner::None);
    }
}

void TimerCallback() {
    try {
        TimerTick();
    } catch (const std::exception& e) {
        // The tick's lock was released on the way out.
        StopFromTick(e.what());
    } catch (...) {
        StopFromTick("Error in the timer tick");
    }
}

// The end of the segment: the main thread starts the next one.
void EndSegment() {
    Clock().EndPosted = true;
    if (EngineHost* host = Host())
        host->PostToMainThread(WM_COMMAND_MSG, cmd::NextSegment, Blocks().Generation.load());
    RunTimer(false);
}

void RunStopCommand() {
    if (EngineHost* host = Host())
        host->RunStopCommand();
    else
        StopPlaybackCommand();
}

// Decodes the record at Frame; a refused record stops the segment.
bool UnpackOrStop(bool* unpacked) {
    UnpackResult result = UnpackFrame();
    *unpacked = result == UnpackResult::Done;
    if (result == UnpackResult::TooLarge || result == UnpackResult::BadRuns) {
        StopFromTick(RefusedRecordMessage(result, Clock().CurrentSegment, Clock().FrameIndex));
        return false;
    }
    return true;
}

void PresentWhole() {
    if (EngineHost* host = Host())
        host->PresentFrame(CurrentPicture());
}

void PresentCursorMove() {
    EngineHost* host = Host();
    if (host == nullptr)
        return;
    PixelRect rects[2];
    int count = CursorAreaRects(rects);
    if (count > 0)
        host->PresentCursorArea(CurrentPicture(), rects, count);
}

void DropPostedBlocks() {
    Blocks().Queue.Clear();
    Blocks().FrameBlock = nullptr;
    for (auto& block : Blocks().Blocks)
        block.Posted = false;
    Blocks().Generation++;
}

}  // namespace

void SetupEngine(EngineHost* host, SoundCalls* sound) {
    Engine().HostPtr = host;
    Engine().SoundPtr = sound;
}

EngineHost* Host() { return Engine().HostPtr.load(); }

SoundCalls& Sound() {
    SoundCalls* sound = Engine().SoundPtr.load();
    return sound ? *sound : Engine().NoSound;
}

std::recursive_mutex& EngineLock() { return Engine().Lock; }

std::string LastEngineError() {
    std::lock_guard<std::mutex> guard(Engine().ErrorLock);
    return Engine().LastError;
}

void SelectSegment(int32_t index) {
    if (index < 0 || index >= SegmentList().Count())
        return;
    StopTimer();
    Clock().CurrentSegment = index;
}

void RecalcTimerPeriod() {
    ClockState& clock = Clock();
    Segment* segment = CurrentSegmentInfo();
    if (segment == nullptr)
        return;
    if (segment->Fps == 0) {
        clock.Period = 100;
        return;
    }
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    int32_t period = RoundHalfEven(1000.0 / segment->Fps / ticks);
    const int32_t position = std::clamp<int32_t>(clock.SpeedPosition, 0, 8);
    const double factor = kSpeedFactors[position];
    if (factor > 0)
        period = RoundHalfEven(period / factor);
    clock.Period = std::max(period, 1);
}

void StartTimer() { RunTimer(true); }

int32_t TimerResolutionFor(int32_t period) { return std::max(1, RoundHalfEven(period / 4.0)); }

void StopTimer() { RunTimer(false); }

bool TimerRunning() {
    std::lock_guard<std::mutex> guard(Engine().TimerLock);
    return Clock().TimerId != 0;
}

void TimerTick() {
    std::unique_lock<std::recursive_mutex> lock(EngineLock());
    ClockState& clock = Clock();
    EngineState& engine = Engine();
    if (clock.LastFrameShown) {
        // The last frame has had its period on screen.
        if (!clock.EndPosted)
            EndSegment();
        return;
    }
    if (clock.FirstTick) {
        clock.FirstTick = false;
        Sound().StartSound();
    }
    if (CurrentSegmentInfo() == nullptr) {
        // The list emptied under the clock: nothing left to play.
        StopFromTick("UnpackFrame: no segment");
        return;
    }
    // A wait for a block that a stop cut short left no record in hand.
    PickUpHeadBlock();
    RestoreCursorBackground();
    if (clock.TicksPerFrame != 3) {
        bool unpacked = false;
        if (!UnpackOrStop(&unpacked))
            return;
        if (unpacked)
            ApplyXorFrame();
        ReadCursorSample();
        SaveCursorBackground();
        DrawCursor();
        CommitCursorPosition();
        PresentWhole();
    } else {
        const int32_t phase = clock.TickCount % 3;
        ReadCursorSample();
        SaveCursorBackground();
        DrawCursor();
        if (phase != 0)
            PresentCursorMove();
        CommitCursorPosition();
        if (phase == 1) {
            if (!UnpackOrStop(&engine.FrameUnpacked))
                return;
        } else if (phase == 2) {
            RestoreCursorBackground();
            if (engine.FrameUnpacked)
                ApplyXorFrame();
            engine.FrameUnpacked = false;
            SaveCursorBackground();
            DrawCursor();
        } else {
            PresentWhole();
        }
    }
    if (EngineHost* host = Host())
        host->RefreshTimeDisplay();
    AdvanceFrame();
    clock.TickCount = clock.TickCount + 1;
    if (!ManualTickMode())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void AdvanceFrame() {
    ClockState& clock = Clock();
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    if (clock.TickCount % ticks != 0 || clock.EndPosted || clock.LastFrameShown)
        return;
    Segment* segment = CurrentSegmentInfo();
    const int32_t frameCount = segment ? segment->FrameCount : 0;
    // The segment ends on the next tick, so its last frame is shown for a
    // period like every other one.
    if (clock.FrameIndex >= frameCount - 1) {
        clock.LastFrameShown = true;
        return;
    }
    if (Blocks().Queue.Head() == nullptr) {
        // Nothing in hand and nothing on its way: the records ran out.
        if (Blocks().FrameBlock == nullptr && !BlockRefillPending() && !clock.StopRequested)
            clock.LastFrameShown = true;
        return;
    }
    clock.FrameIndex = clock.FrameIndex + 1;
    if (!NextRecord()) {
        // The stream held fewer records than frames: the one just shown
        // was the last.
        clock.FrameIndex = clock.FrameIndex - 1;
        clock.LastFrameShown = true;
    }
}

void SetPlayState(uint8_t state) {
    uint8_t previous = Clock().PlayState.exchange(state);
    if (previous != state)
        if (EngineHost* host = Host())
            host->PlayStateChanged(state);
}

bool StartSegment(int32_t index) {
    ClockState& clock = Clock();
    EngineHost* host = Host();
    if (index < 0)
        return false;
    if (index >= SegmentList().Count()) {
        RunStopCommand();
        return false;
    }
    StopTimer();
    {
        std::lock_guard<std::recursive_mutex> lock(EngineLock());
        DropPostedBlocks();
    }
    SelectSegment(index);
    clock.FrameIndex = -1;
    if (host)
        host->ShowSegmentDescription();
    if (!PrepareDisplay()) {
        SetPlayState(Stopped);
        return false;
    }
    ClearFrameBitmaps();
    ResetCursorBox();
    Segment* segment = CurrentSegmentInfo();
    clock.TicksPerFrame = segment->TicksPerFrame();
    if (segment->FrameStream)
        segment->FrameStream->SetPosition(0);
    if (segment->CursorTrack)
        segment->CursorTrack->SetPosition(0);
    clock.TickCount = 0;
    Engine().FrameUnpacked = false;
    if (host) {
        host->CheckAutoFullScreen();
    }
    SetPlayState(Stopped);
    if (host)
        host->RecalcGeometry();
    ResetBlocks();
    clock.StopRequested = false;
    const bool primed = PrimeBlocks();
    clock.EndPosted = false;
    clock.LastFrameShown = false;
    if (!primed)
        return false;
    RecalcTimerPeriod();
    Sound().StopSound();
    Sound().OpenSound();
    // The first frame, and the sound with it, when the segment starts; frame
    // k follows k periods later. A resumed or re-timed clock waits a period
    // for its first tick, so the frame on screen is not cut short.
    RunTimer(true, TimerStart::AtOnce);
    SetPlayState(Playing);
    if (host)
        host->SelectInSegmentList(index);
    return true;
}

void SetSpeedPosition(int32_t position) {
    Clock().SpeedPosition = std::clamp<int32_t>(position, 0, 8);
    if (SegmentList().Count() == 0)
        return;
    RecalcTimerPeriod();
    if (Clock().PlayState == Playing)
        StartTimer();
    else
        StopTimer();
}

void StopPlaybackCommand() {
    ClockState& clock = Clock();
    // Set first: a tick waiting for a block gives up, so the timer can stop.
    clock.StopRequested = true;
    StopTimer();
    Sound().StopSound();
    {
        std::lock_guard<std::recursive_mutex> lock(EngineLock());
        DropPostedBlocks();
    }
    SelectSegment(0);
    SetPlayState(Stopped);
    clock.FrameIndex = -1;
    if (EngineHost* host = Host())
        host->ShowSegmentDescription();
}

void StopPlaybackForLoad() {
    ClockState& clock = Clock();
    clock.StopRequested = true;
    StopTimer();
    Sound().StopSound();
    {
        std::lock_guard<std::recursive_mutex> lock(EngineLock());
        ResetBlocks();
        // The shapes belong to the list that is about to be cleared.
        ResetCursorBox();
    }
    SetPlayState(Stopped);
    clock.FrameIndex = -1;
}

bool DispatchEngineMessage(uint32_t message, uintptr_t wParam, uintptr_t lParam) {
    const uint32_t generation = Blocks().Generation.load();
    switch (message) {
    case UM_BLOCKEMPTY: {
        // A block posted before the latest segment start or stop was emptied
        // by it already; refilling it now would mix two segments' records.
        if (wParam == generation)
            DoBlockEmpty(reinterpret_cast<Block*>(lParam));
        return true;
    }
    case WM_COMMAND_MSG:
        if ((wParam & 0xFFFF) != static_cast<uintptr_t>(cmd::NextSegment))
            return false;
        // The clock tags its end-of-segment command; one that a stop or a
        // newer segment start overtook is dropped.
        if (lParam == 0 || lParam == generation)
            StartSegment(Clock().CurrentSegment + 1);
        return true;
    case UM_ENGINEERROR:
        ShowMessage(LastEngineError(), Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
        if (lParam == generation)
            RunStopCommand();
        return true;
    default:
        return false;
    }
}

}  // namespace movarel
