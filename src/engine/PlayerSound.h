#pragma once
// What playback asks of a segment's sound track. The sound layer implements
// it (a track decoded from the segment's MP3 into an audio output); a player
// without sound keeps the do-nothing default. The clock decides when sound
// plays at all (only at normal speed); the track only follows its calls.
//
// Threads: Open and Stop run on the main thread; Start and Pause also run on
// the timer thread. An implementation guards itself and never calls back into
// playback from these calls.
#include <string>

namespace movarel {

class PlayerSound {
public:
    virtual ~PlayerSound() = default;

    // A segment starts: the track that belongs to it, or empty for none.
    virtual void Open(const std::string& /*soundFile*/) {}
    // Plays from a point of the track: fraction (0 to 1) of its length, the
    // frame's place in the segment. After Stop, Start opens the same track
    // again (the clock stops the sound while it waits for frame data).
    virtual void Start(double /*fraction*/) {}
    // Holds the sound where it is.
    virtual void Pause() {}
    // Ends the sound and closes the track.
    virtual void Stop() {}
};

}  // namespace movarel
