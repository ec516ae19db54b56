#include "engine/PlaybackClock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "engine/Player.h"
#include "platform/Rounding.h"
#include "platform/UserMessages.h"

namespace movarel {

const float kSpeedFactors[9] = {0.1f, 0.25f, 0.5f, 1.0f, 2.0f, 3.0f, 5.0f, 10.0f, 1000.0f};

int32_t TimerResolutionFor(int32_t period) { return std::max(1, RoundHalfEven(period / 4.0)); }

double SoundFraction(int32_t frameIndex, int32_t frameCount) {
    const double frame = std::max(0, frameIndex);
    return frameCount > 0 ? std::min(1.0, frame / frameCount) : 0.0;
}

double ClockState::Factor() const {
    const double direct = SpeedFactor;
    return direct > 0 ? direct : kSpeedFactors[std::clamp<int32_t>(SpeedPosition, 0, 8)];
}

double ClampSpeedFactor(double factor) {
    if (!(factor > 0))
        return 1.0;
    if (factor >= kSpeedFactors[8])
        return kSpeedFactors[8];
    return std::clamp(factor, kSlowestFactor, kFastestPacedFactor);
}

int32_t NearestSpeedPosition(double factor) {
    int32_t best = kNormalSpeedPosition;
    double bestDistance = INFINITY;
    for (int32_t position = 0; position < 9; ++position) {
        const double distance = std::abs(std::log(factor / kSpeedFactors[position]));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = position;
        }
    }
    return best;
}

bool SoundPlaysAt(double factor) { return factor >= 0.5 && factor <= 2.0; }

int32_t DueFrame(double position, double anchorMs, double atMs, double fps, double factor) {
    const double frames = position + (atMs - anchorMs) * fps * factor / 1000.0;
    // Far outside any segment: keep the sum in range.
    return static_cast<int32_t>(std::floor(std::clamp(frames, -1e9, 1e9)));
}

// The sound plays, time-stretched, at the speeds that keep it intelligible;
// at the others it holds.
void Player::StartSound() {
    const Segment* segment = CurrentSegmentInfo();
    const double factor = clock.Factor();
    if (!SoundPlaysAt(factor) || segment == nullptr) {
        sound->Pause();
        return;
    }
    sound->SetSpeed(factor);
    sound->Start(SoundFraction(clock.FrameIndex, segment->FrameCount));
}

// The frame the current tick should show. The sound, while heard, says where
// playback is; otherwise the clock runs on from where the last anchor left it,
// at the exact frame rate, so no rounding of the period piles up.
int32_t Player::PacedDueFrame(bool firstTick) {
    const Segment* segment = CurrentSegmentInfo();
    const double fps = segment->Fps;
    const double factor = clock.Factor();
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    // This tick's frame is on screen from the next tick of phase 0 until the
    // next frame replaces it, a frame's ticks later. The frame chosen is the
    // one whose time holds the middle of that stay, so the picture is as much
    // ahead of the sound when it appears as behind it when it goes.
    const int32_t ticksToShow = (ticks - clock.TickCount % ticks) % ticks;
    const auto instant = now();
    const auto present = instant + std::chrono::milliseconds(int64_t{ticksToShow} * clock.Period);
    const double halfStayMs = ticks * clock.Period / 2.0;
    if (firstTick || stalled) {
        stalled = false;
        anchorPosition = clock.FrameIndex;
        anchorTime = present;
    }
    if (SoundPlaysAt(factor)) {
        if (std::optional<double> heard = sound->PlayedSeconds()) {
            anchorPosition = *heard * fps;
            anchorTime = instant;
        }
    }
    const double sinceAnchor = std::chrono::duration<double, std::milli>(present - anchorTime).count();
    return DueFrame(anchorPosition, 0.0, sinceAnchor + halfStayMs, fps, factor);
}

// Decodes the frames that are late without showing them, so the tick shows
// the due one. False when a refused record stopped the segment.
bool Player::SkipLateFrames(int32_t due) {
    const Segment* segment = CurrentSegmentInfo();
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    while (clock.FrameIndex < due && clock.FrameIndex < segment->FrameCount - 1 && blocks.FrameBlock != nullptr &&
           !clock.StopRequested && !clock.LastFrameShown) {
        bool unpacked = false;
        if (!UnpackOrStop(&unpacked))
            return false;
        if (unpacked)
            ApplyXorFrame(decoding);
        // The cursor track holds a sample for each tick the frame had.
        for (int32_t t = 0; t < ticks; ++t)
            ReadCursorSample();
        if (!StepToNextFrame())
            break;
    }
    return true;
}

void Player::RunTimer(bool start, bool atOnce) {
    sound->Pause();
    uint32_t id = 0;
    {
        std::lock_guard<std::mutex> guard(timerLock);
        id = timerId;
        timerId = 0;
    }
    if (id != 0) {
        clock.TimerStopping++;
        timers.TimerKillEvent(id);
        // A tick that was running has finished once the lock is ours.
        engineLock.lock();
        engineLock.unlock();
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
    std::lock_guard<std::mutex> guard(timerLock);
    uint32_t newId = timers.TimerSetEvent(
        static_cast<uint32_t>(period), static_cast<uint32_t>(resolution),
        [this] {
            try {
                TimerTick();
            } catch (const std::exception& e) {
                // The tick's lock was released on the way out.
                StopFromTick(e.what());
            } catch (...) {
                StopFromTick("Error in the timer tick");
            }
        },
        atOnce ? TimerStart::AtOnce : TimerStart::AfterPeriod);
    if (newId == 0)
        throw Error("MMTimer = 0");
    timerId = newId;
}

// Stops the segment from the timer thread and hands the message to the GUI
// thread, which shows it and runs the Stop command.
void Player::StopFromTick(const std::string& message) {
    {
        std::lock_guard<std::mutex> guard(errorLock);
        lastError = message;
    }
    clock.EndPosted = true;
    try {
        RunTimer(false);
    } catch (...) {
    }
    events.Post(PlaybackError{message, blocks.Generation.load()});
}

// The end of the segment: the GUI thread starts the next one.
void Player::EndSegment() {
    clock.EndPosted = true;
    events.Post(SegmentEnded{blocks.Generation.load()});
    RunTimer(false);
}

// Decodes the record at Frame; a refused record stops the segment.
bool Player::UnpackOrStop(bool* unpacked) {
    UnpackResult result = UnpackFrame();
    *unpacked = result == UnpackResult::Done;
    if (result == UnpackResult::TooLarge || result == UnpackResult::BadRuns) {
        StopFromTick(RefusedRecordMessage(result, clock.CurrentSegment, clock.FrameIndex));
        return false;
    }
    return true;
}

void Player::PresentWhole() {
    if (sink != nullptr)
        sink->PresentFrame(decoding.Image);
}

void Player::PresentCursorMove() {
    if (sink == nullptr)
        return;
    PixelRect rects[2];
    int count = CursorAreaRects(rects);
    if (count > 0)
        sink->PresentCursorArea(decoding.Image, rects, count);
}

void Player::DropPostedBlocks() {
    blocks.Queue.Clear();
    blocks.FrameBlock = nullptr;
    for (auto& block : blocks.Blocks)
        block.Posted = false;
    blocks.Generation++;
}

std::string Player::LastEngineError() {
    std::lock_guard<std::mutex> guard(errorLock);
    return lastError;
}

void Player::SelectSegment(int32_t index) {
    if (index < 0 || index >= film.Count())
        return;
    StopTimer();
    clock.CurrentSegment = index;
}

void Player::RecalcTimerPeriod() {
    const Segment* segment = CurrentSegmentInfo();
    if (segment == nullptr)
        return;
    if (segment->Fps == 0) {
        clock.Period = 100;
        return;
    }
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    int32_t period = RoundHalfEven(1000.0 / segment->Fps / ticks);
    const double factor = clock.Factor();
    if (factor > 0)
        period = RoundHalfEven(period / factor);
    clock.Period = std::max(period, 1);
}

void Player::StartTimer() { RunTimer(true); }

void Player::StopTimer() { RunTimer(false); }

bool Player::TimerRunning() {
    std::lock_guard<std::mutex> guard(timerLock);
    return timerId != 0;
}

bool Player::TickManually() { return timers.TickManualTimers(); }

void Player::TimerTick() {
    std::unique_lock<std::recursive_mutex> lock(engineLock);
    if (clock.LastFrameShown) {
        // The last frame has had its period on screen.
        if (!clock.EndPosted)
            EndSegment();
        return;
    }
    const bool firstTick = clock.FirstTick;
    if (firstTick) {
        clock.FirstTick = false;
        StartSound();
    }
    const Segment* segment = CurrentSegmentInfo();
    if (segment == nullptr) {
        // Nothing left to play.
        StopFromTick("UnpackFrame: no segment");
        return;
    }
    // A wait for a block that a stop cut short left no record in hand.
    PickUpHeadBlock();
    // A tick that starts a frame (every tick, or phase 1 of three) shows the
    // one due by then: it waits while that frame is early, and decodes the
    // late ones without showing them. The fastest setting shows every frame.
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    const bool startsFrame = ticks != 3 || clock.TickCount % 3 == 1;
    int32_t due = -1;
    if (paced && segment->Fps > 0 && clock.Factor() <= kFastestPacedFactor && (startsFrame || firstTick)) {
        due = PacedDueFrame(firstTick);
        if (!startsFrame)
            due = -1;
        if (due >= 0 && due < clock.FrameIndex)
            return;
    }
    RestoreCursorBackground();
    if (due > clock.FrameIndex) {
        if (!SkipLateFrames(due))
            return;
        if (clock.LastFrameShown) {
            // The records ran out while catching up: the frame in the
            // picture is the last one.
            ReadCursorSample();
            SaveCursorBackground();
            DrawCursor();
            CommitCursorPosition();
            PresentWhole();
            events.PostTimeDisplay();
            clock.TickCount = clock.TickCount + 1;
            return;
        }
    }
    if (clock.TicksPerFrame != 3) {
        bool unpacked = false;
        if (!UnpackOrStop(&unpacked))
            return;
        if (unpacked)
            ApplyXorFrame(decoding);
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
            if (!UnpackOrStop(&frameUnpacked))
                return;
        } else if (phase == 2) {
            RestoreCursorBackground();
            if (frameUnpacked)
                ApplyXorFrame(decoding);
            frameUnpacked = false;
            SaveCursorBackground();
            DrawCursor();
        } else {
            PresentWhole();
        }
    }
    events.PostTimeDisplay();
    AdvanceFrame();
    clock.TickCount = clock.TickCount + 1;
    if (!manualTicks)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Player::AdvanceFrame() {
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    if (clock.TickCount % ticks != 0)
        return;
    StepToNextFrame();
}

// Moves to the next frame's record. False when there is none: the segment's
// last frame is on screen, or the records ran out (both mark the last frame
// shown), or the next block is still on its way.
bool Player::StepToNextFrame() {
    if (clock.EndPosted || clock.LastFrameShown)
        return false;
    const Segment* segment = CurrentSegmentInfo();
    const int32_t frameCount = segment ? segment->FrameCount : 0;
    // The segment ends on the next tick, so its last frame is shown for a
    // period like every other one.
    if (clock.FrameIndex >= frameCount - 1) {
        clock.LastFrameShown = true;
        return false;
    }
    if (blocks.Queue.Head() == nullptr) {
        // Nothing in hand and nothing on its way: the records ran out.
        if (blocks.FrameBlock == nullptr && !BlockRefillPending() && !clock.StopRequested)
            clock.LastFrameShown = true;
        return false;
    }
    clock.FrameIndex = clock.FrameIndex + 1;
    if (!NextRecord()) {
        // The stream held fewer records than frames: the one just shown
        // was the last.
        clock.FrameIndex = clock.FrameIndex - 1;
        clock.LastFrameShown = true;
        return false;
    }
    return true;
}

void Player::SetPlayState(uint8_t state) {
    uint8_t previous = clock.PlayState.exchange(state);
    if (previous != state)
        events.Post(PlayStateChanged{state});
}

bool Player::StartSegment(int32_t index) {
    if (index < 0)
        return false;
    if (index >= film.Count()) {
        RunStopCommand();
        return false;
    }
    StopTimer();
    {
        std::lock_guard<std::recursive_mutex> lock(engineLock);
        DropPostedBlocks();
    }
    SelectSegment(index);
    clock.FrameIndex = -1;
    SegmentStarted started{index, false, false, false, false};
    minimizeRequested = false;
    if (!PrepareDisplay()) {
        started.minimize = minimizeRequested;
        events.Post(started);
        SetPlayState(Stopped);
        return false;
    }
    const Segment* segment = CurrentSegmentInfo();
    started.minimize = minimizeRequested;
    started.prepared = true;
    started.fillsScreen = segment->Width == screenWidth && segment->Height == screenHeight;
    ClearFrameBitmaps(decoding);
    ResetCursorBox(cursor);
    clock.TicksPerFrame = segment->TicksPerFrame();
    clock.TickCount = 0;
    frameUnpacked = false;
    SetPlayState(Stopped);
    ResetBlocks();
    clock.StopRequested = false;
    const bool primed = PrimeBlocks();
    clock.EndPosted = false;
    clock.LastFrameShown = false;
    if (!primed) {
        events.Post(started);
        return false;
    }
    RecalcTimerPeriod();
    sound->Stop();
    sound->Open(segment->SoundFileName);
    // The first frame, and the sound with it, when the segment starts; frame
    // k follows k periods later. A resumed or re-timed clock waits a period
    // for its first tick, so the frame on screen is not cut short.
    RunTimer(true, true);
    started.playing = true;
    events.Post(started);
    SetPlayState(Playing);
    if (seekIndexOnStart)
        SeekIndexFor(index);
    return true;
}

void Player::SetSpeedPosition(int32_t position) {
    clock.SpeedPosition = std::clamp<int32_t>(position, 0, 8);
    clock.SpeedFactor = 0.0;
    ApplySpeed();
}

void Player::SetSpeedFactor(double factor) {
    factor = ClampSpeedFactor(factor);
    clock.SpeedPosition = NearestSpeedPosition(factor);
    clock.SpeedFactor = factor;
    ApplySpeed();
}

// The timer restarts at the new period: its first tick starts the sound again
// from the frame on screen and takes up the time from there.
void Player::ApplySpeed() {
    const double factor = clock.Factor();
    if (SoundPlaysAt(factor))
        sound->SetSpeed(factor);
    if (film.Count() == 0)
        return;
    RecalcTimerPeriod();
    if (clock.PlayState == Playing)
        StartTimer();
    else
        StopTimer();
}

void Player::StopPlaybackCommand() {
    // Set first: a tick waiting for a block gives up, so the timer can stop.
    clock.StopRequested = true;
    StopTimer();
    sound->Stop();
    {
        std::lock_guard<std::recursive_mutex> lock(engineLock);
        DropPostedBlocks();
    }
    SelectSegment(0);
    SetPlayState(Stopped);
    clock.FrameIndex = -1;
    events.Post(SegmentStarted{clock.CurrentSegment.load(), false, false, false, false});
}

void Player::StopPlaybackForLoad() {
    clock.StopRequested = true;
    StopTimer();
    sound->Stop();
    {
        std::lock_guard<std::recursive_mutex> lock(engineLock);
        ResetBlocks();
        ResetCursorBox(cursor);
    }
    ForgetSeekIndexes();
    SetPlayState(Stopped);
    clock.FrameIndex = -1;
}

}  // namespace movarel
