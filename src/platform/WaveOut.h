#pragma once
// The wave-output device. It is opened with an MPEG Layer-3 wave format and
// takes the sound file's raw bytes in buffers that the caller owns; it decodes
// them itself (a chunk may start anywhere in the stream: the decoder finds the
// next frame header), plays the sound through the system's audio output and
// hands every buffer back once it has been used. The device gain (0..65535 per
// channel) is applied to every sample it plays.
//
// No audio output at all is not an error: the device then takes and returns
// buffers without playing them, and the user is told once per run.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace movarel {

#pragma pack(push, 1)
// The wave format of an MPEG Layer-3 stream, laid out as the format block of a
// wave-output device (30 bytes).
struct MpegLayer3WaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
    uint16_t wID;
    uint32_t fdwFlags;
    uint16_t nBlockSize;
    uint16_t nFramesPerBlock;
    uint16_t nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(MpegLayer3WaveFormat) == 30, "the format block is 30 bytes");

constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;
constexpr uint16_t MPEGLAYER3_WFX_EXTRA_BYTES = 12;
constexpr uint16_t MPEGLAYER3_ID_MPEG = 1;
constexpr uint32_t MPEGLAYER3_FLAG_PADDING_OFF = 2;

// Results of the device operations.
constexpr int MMSYSERR_NOERROR = 0;
constexpr int MMSYSERR_ERROR = 1;
constexpr int MMSYSERR_INVALHANDLE = 5;
constexpr int MMSYSERR_NOMEM = 7;
constexpr int MMSYSERR_INVALPARAM = 11;
constexpr int WAVERR_BADFORMAT = 32;
constexpr int WAVERR_STILLPLAYING = 33;
constexpr int WAVERR_UNPREPARED = 34;

// Header flags.
constexpr uint32_t WHDR_DONE = 0x01;      // returned by the device, not yet handled
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;   // written and not yet returned

// One buffer of raw file bytes. The device plays dwBufferLength bytes.
struct WaveHeader {
    uint8_t* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0;
    std::atomic<uint32_t> dwFlags{0};
};

// Called once for every buffer the device hands back, from the device's own
// thread (or from the thread that called Reset or Close). It must not call
// back into the device; the player posts the buffer to its main thread.
using WaveDoneHandler = std::function<void(WaveHeader*)>;

class TWaveOut {
public:
    // Opens a device for format. MMSYSERR_NOERROR and a device in out, or
    // WAVERR_BADFORMAT for a format that is not MPEG Layer-3.
    static int Open(std::unique_ptr<TWaveOut>& out, const MpegLayer3WaveFormat& format,
                    WaveDoneHandler onDone);
    ~TWaveOut();
    TWaveOut(const TWaveOut&) = delete;
    TWaveOut& operator=(const TWaveOut&) = delete;

    int PrepareHeader(WaveHeader* header);
    // WAVERR_STILLPLAYING while the header is queued.
    int UnprepareHeader(WaveHeader* header);
    // Queues a prepared header that is not queued already.
    int Write(WaveHeader* header);
    // Stops playing and hands back every queued header at once, before it
    // returns; the decoder starts afresh with the next write.
    int Reset();
    // Hands back whatever is still queued and releases the audio output.
    int Close();

    // True when the device plays nothing (no audio output).
    bool Silent() const;
    // The decoded stream's channel count and rate; 0 until the first frame
    // has been found.
    int Channels() const;
    int Rate() const;

    struct Impl;

private:
    TWaveOut();
    std::unique_ptr<Impl> F;
};

// The device gain: low word left channel, high word right channel, each
// 0..65535. Shared by every sound the player makes.
uint32_t WaveOutGetVolume();
void WaveOutSetVolume(uint32_t value);

// Applies the device gain to interleaved 16-bit samples in place.
void ApplyDeviceGain(int16_t* samples, size_t count, int channels);

// The audio output under the device and the media player. InitAudioOutput
// starts the audio subsystem once (never the video one, and without signal
// handlers, which would swallow SIGINT and SIGTERM in the GUI); false when the
// machine has no audio output, and the user has then been told.
bool InitAudioOutput();
// Opens an output stream of 16-bit samples; 0 when none can be opened (the
// user is told once per run). The callback runs on the output's own thread.
using AudioFill = void (*)(void* user, uint8_t* stream, int length);
uint32_t OpenAudioStream(int rate, int channels, AudioFill fill, void* user);
void PauseAudioStream(uint32_t stream, bool paused);
void CloseAudioStream(uint32_t stream);
// Ends the audio subsystem; the next InitAudioOutput starts it again and
// reads the driver choice afresh.
void ShutdownAudioOutput();
// Forgets that the user was told about the missing audio output.
void ResetNoAudioNotice();

}  // namespace movarel
