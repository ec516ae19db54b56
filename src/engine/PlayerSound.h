#pragma once
// What playback asks of a segment's sound track. The sound layer implements
// it (a track decoded from the segment's MP3 into an audio output); a player
// without sound keeps the do-nothing default. The clock decides when sound
// plays and at what speed; the track only follows its calls, and tells the
// clock where in the track the sound being heard lies, so that the pictures
// can follow the sound.
//
// Threads: Open and Stop run on the main thread; Start, Pause and SetSpeed
// also run on the timer thread, PlayedSeconds on any. An implementation
// guards itself and never calls back into playback from these calls.
#include <optional>
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
    // The playing speed: from 0.5 to 2 the sound plays that much faster with
    // its pitch kept, at exactly 1 as recorded; at any other factor it is
    // silent. A change while playing goes on from where the sound is; one
    // made before Start applies from it.
    virtual void SetSpeed(double /*factor*/) {}
    // Where the sample heard at the device now lies, in seconds from the
    // track's start: it accounts for the sound the output holds on its way
    // to the device and for the speed. Empty while no sound is heard
    // (paused, stopped, no track, no device, or a silent speed).
    virtual std::optional<double> PlayedSeconds() const { return std::nullopt; }
};

}  // namespace movarel
