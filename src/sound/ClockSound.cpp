#include "sound/ClockSound.h"

#include <algorithm>

#include "engine/ClockState.h"
#include "film/SegmentList.h"

namespace movarel {

void ClockSound::OpenSound() {
    TSegmentInfo* segment = CurrentSegmentInfo();
    FTrack.Open(segment != nullptr ? segment->SoundFileName : std::string());
}

void ClockSound::StartSound() {
    TSegmentInfo* segment = CurrentSegmentInfo();
    if (segment == nullptr || Clock().SpeedPosition != kNormalSpeedPosition) {
        FTrack.Pause();
        return;
    }
    double frameIndex = std::max(0, static_cast<int>(Clock().FrameIndex));
    double frameCount = segment->FrameCount;
    FTrack.Start(frameCount > 0 ? std::min(1.0, frameIndex / frameCount) : 0.0);
}

void ClockSound::PauseSound() { FTrack.Pause(); }

void ClockSound::StopSound() { FTrack.Stop(); }

}  // namespace movarel
