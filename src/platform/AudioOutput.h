#pragma once
// Where the player's sound goes: one stream of 16-bit PCM at a time, pulled
// from a source by the output as it plays. The SDL backend plays it on the
// machine's audio device; the recording backend keeps it for tests.
//
// The output asks its source for samples on a thread of its own. A caller
// that guards its source with a lock must not hold that lock while it calls
// Open, Close, Pause or Resume: they wait for a running pull to end.
#include <cstddef>
#include <cstdint>

namespace movarel {

// Interleaved signed 16-bit samples in the machine's byte order.
struct PcmFormat {
    int rate = 0;      // frames per second
    int channels = 0;  // 1 or 2 (up to 8 accepted)
    bool operator==(const PcmFormat&) const = default;
};

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Writes up to `frames` frames (frames x channels samples) to out and
    // returns how many it wrote; fewer means the sound has run out for now,
    // and the output plays silence for the rest. Called on the output's
    // thread, one call at a time.
    virtual size_t Read(int16_t* out, size_t frames) = 0;
};

// The gain: low word left channel, high word right channel, each 0..65535.
constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Opens a stream in format that pulls from source, paused; closes the
    // stream open before. False when there is no device to play it (the
    // stream is then closed and nothing is pulled).
    virtual bool Open(const PcmFormat& format, AudioSource* source) = 0;
    // Ends the stream; the source is not called once Close returns.
    virtual void Close() = 0;
    // Stops and restarts pulling; samples already pulled are neither lost
    // nor repeated.
    virtual void Pause() = 0;
    virtual void Resume() = 0;

    // The gain applied to every sample played, whatever stream is open.
    virtual void SetVolume(uint32_t volume) = 0;
    virtual uint32_t Volume() const = 0;

    // Whether there is a device to play on at all.
    virtual bool HasDevice() = 0;

    // How far the device has got in the open stream: the frames asked of the
    // source since Open (a short answer counts whole, its rest being
    // silence), less those the output still holds on their way to the
    // device. The source maps this count to its own position; 0 without a
    // stream. Any thread may ask; it never waits for a pull.
    virtual uint64_t HeardFrames() const = 0;
};

// Applies volume to count interleaved samples in place: mono and every even
// channel follow the left gain, odd channels the right one.
void ApplyGain(int16_t* samples, size_t count, int channels, uint32_t volume);

}  // namespace movarel
