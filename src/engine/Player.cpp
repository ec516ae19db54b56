#include "engine/Player.h"

#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/UserMessages.h"

namespace movarel {

Player::Player(const Film& playedFilm, const PlayerSetup& setup)
    : film(playedFilm),
      sink(setup.Sink),
      sound(setup.Sound != nullptr ? setup.Sound : &noSound),
      screenBits(setup.Screen.BitsPerPixel),
      screenWidth(setup.Screen.Width),
      screenHeight(setup.Screen.Height),
      manualTicks(setup.ManualTicks),
      paced(!setup.ManualTicks || setup.Now != nullptr),
      now(setup.Now ? setup.Now : [] { return std::chrono::steady_clock::now(); }),
      ownerStop(setup.Stop),
      timers(setup.ManualTicks),
      seekIndexOnStart(setup.SeekIndexOnStart),
      seekLimits(setup.SeekLimits),
      onSeekIndexProgress(setup.OnSeekIndexProgress) {
    clock.SpeedPosition = std::clamp<int32_t>(setup.SpeedPosition, 0, 8);
    if (setup.SpeedFactor > 0) {
        clock.SpeedFactor = ClampSpeedFactor(setup.SpeedFactor);
        clock.SpeedPosition = NearestSpeedPosition(clock.SpeedFactor);
    }
}

Player::~Player() {
    clock.StopRequested = true;
    try {
        StopTimer();
    } catch (...) {
    }
    sound->Stop();
}

void Player::SetScreen(const ScreenInfo& screen) {
    screenBits = screen.BitsPerPixel;
    screenWidth = screen.Width;
    screenHeight = screen.Height;
}

void Player::RunStopCommand() {
    if (ownerStop)
        ownerStop();
    else
        StopPlaybackCommand();
}

void Player::RefillPostedBlocks() {
    for (const BlockNeeded& refill : events.TakeBlockNeeded()) {
        // A block posted before the latest segment start or stop was emptied
        // by it already; refilling it now would mix two segments' records.
        if (refill.generation == blocks.Generation.load() && refill.block >= 0 && refill.block < kBlockCount)
            DoBlockEmpty(&blocks.Blocks[refill.block]);
    }
}

int Player::DrainEvents(const std::function<void(const PlayerEvent&)>& forward) {
    std::deque<PlayerEvent> queued = events.Take();
    for (const PlayerEvent& event : queued) {
        if (const auto* refill = std::get_if<BlockNeeded>(&event)) {
            if (refill->generation == blocks.Generation.load() && refill->block >= 0 && refill->block < kBlockCount)
                DoBlockEmpty(&blocks.Blocks[refill->block]);
        } else if (const auto* ended = std::get_if<SegmentEnded>(&event)) {
            // A segment end that a stop or a newer segment start overtook is
            // dropped.
            if (ended->generation == blocks.Generation.load())
                StartSegment(clock.CurrentSegment + 1);
        } else if (const auto* failure = std::get_if<PlaybackError>(&event)) {
            ShowMessage(failure->text, Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
            if (failure->generation == blocks.Generation.load())
                RunStopCommand();
        }
        if (forward)
            forward(event);
    }
    return static_cast<int>(queued.size());
}

bool Player::PrepareDisplay() {
    decoding.StretchFlag = false;
    const int32_t index = clock.CurrentSegment;
    if (film.Count() == 0 || index < 0)
        return false;
    const Segment* segment = CurrentSegmentInfo();
    if (segment == nullptr)
        return false;
    // A frame whose largest record cannot fit a block could never be played,
    // and its sizes come straight from the film: refuse before allocating.
    if (segment->Width <= 0 || segment->Height <= 0 ||
        LargestRecordBytes(segment->Width, segment->Height) > kBlockSize) {
        const bool empty = segment->Width <= 0 || segment->Height <= 0;
        ShowMessage(FormatText(empty ? "Segment %d cannot be played: its frames of %d x %d pixels are empty."
                                     : "Segment %d cannot be played: its frames of %d x %d pixels are too large.",
                               {int64_t{index + 1}, int64_t{segment->Width}, int64_t{segment->Height}}),
                    Texts().Error, MsgIcon::Error, MsgOwner::MainWindow);
        return false;
    }
    if (!PrepareSurfaces(decoding, *segment, screenBits)) {
        std::string text;
        try {
            text = FormatText(Texts().WrongDisplaySettings, {int64_t{segment->BitsPerPixel}});
        } catch (const Error& e) {
            text = e.what();
        }
        ShowMessage(text, Texts().Error, MsgIcon::None, MsgOwner::None);
        minimizeRequested = true;
    }
    UpdateCursorBox(cursor, *segment);
    return true;
}

UnpackResult Player::UnpackFrame() {
    const int32_t index = clock.CurrentSegment;
    if (index < 0 || index >= film.Count())
        return UnpackResult::Skipped;
    int32_t available = 0;
    const uint8_t* record = FrameRecord(&available);
    if (record == nullptr)
        return UnpackResult::NoRecord;
    if (!decoding.Decodable)
        return UnpackResult::Skipped;
    return UnpackRecord(decoding, record, available);
}

void Player::ReadCursorSample() { movarel::ReadCursorSample(cursor, CurrentSegmentInfo()); }

}  // namespace movarel
