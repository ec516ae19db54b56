#pragma once
// The playback clock's sound calls, answered by a track: which file belongs
// to the current segment and where in it the current frame lies are read from
// the clock here, and only here, then handed to the track.
#include "engine/EngineHost.h"
#include "engine/PlayerSound.h"

namespace movarel {

class ClockSound : public SoundCalls {
public:
    explicit ClockSound(PlayerSound& track) : FTrack(track) {}

    // The current segment's sound file (none without a segment).
    void OpenSound() override;
    // At normal speed: the track from FrameIndex / FrameCount of its length
    // (0 for a segment without frames); at any other speed, or without a
    // segment, the track is paused instead.
    void StartSound() override;
    void PauseSound() override;
    void StopSound() override;

private:
    PlayerSound& FTrack;
};

}  // namespace movarel
