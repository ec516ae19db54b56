#pragma once
// The media player: plays one sound file by name (MPEG audio), with play,
// pause, stop, seek and length in samples or milliseconds, and the mode of a
// media-control device. One instance for the process; it is used from the
// main thread and, under the engine lock, from the timer thread.
#include <cstdint>
#include <memory>
#include <string>

namespace movarel {

// Time formats.
constexpr uint32_t MCI_FORMAT_MILLISECONDS = 0;
constexpr uint32_t MCI_FORMAT_SAMPLES = 9;

// Status replies of the mode item.
constexpr uint32_t MCI_MODE_NOT_READY = 524;
constexpr uint32_t MCI_MODE_STOP = 525;
constexpr uint32_t MCI_MODE_PLAY = 526;
constexpr uint32_t MCI_MODE_RECORD = 527;
constexpr uint32_t MCI_MODE_SEEK = 528;
constexpr uint32_t MCI_MODE_PAUSE = 529;
constexpr uint32_t MCI_MODE_OPEN = 530;

// Command flags.
constexpr uint32_t MCI_NOTIFY = 1;
constexpr uint32_t MCI_WAIT = 2;
constexpr uint32_t MCI_FROM = 4;
constexpr uint32_t MCI_TO = 8;

// Error codes of the player (0 is success).
constexpr uint32_t MCIERR_INVALID_DEVICE_ID = 257;
constexpr uint32_t MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr uint32_t MCIERR_FILE_NOT_FOUND = 275;
constexpr uint32_t MCIERR_OUTOFRANGE = 282;
constexpr uint32_t MCIERR_INVALID_FILE = 296;
constexpr uint32_t MCIERR_BAD_TIME_FORMAT = 293;
constexpr uint32_t MCIERR_INVALID_DEVICE_NAME = 263;

enum TMPModes : uint8_t {
    mpNotReady = 0,
    mpStopped = 1,
    mpPlaying = 2,
    mpRecording = 3,
    mpSeeking = 4,
    mpPaused = 5,
    mpOpen = 6,
    mpUnknown = 7,  // the status query failed
};

// Mode from a status query: mpUnknown when it failed, else reply - 524
// (a reply outside the known range is mpUnknown too).
uint8_t ModeFromStatus(bool statusOk, uint32_t reply);

class TMediaPlayer {
public:
    TMediaPlayer();
    ~TMediaPlayer();
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    // Opens FileName (closing an open file first). On failure the user is
    // shown ErrorMessage() (caption "Error") and the player stays closed.
    void Open();
    // Sends nothing when no device is open; Error keeps its value then.
    void Close();
    // Starts playing from the position (or StartPos / EndPos when set) and
    // returns at once.
    void Play();
    void Pause();
    void Stop();
    // Moves to position in the time format; the player is stopped there.
    void Seek(uint32_t position);
    void Rewind();
    void SetTimeFormat(uint32_t format);
    uint32_t Length();
    uint32_t Position();
    uint8_t Mode();
    std::string ErrorMessage() const;

    bool Opened = false;
    uint32_t Flags = 0;
    bool Wait = false, Notify = false;
    bool WaitSet = false, NotifySet = false;
    bool FromSet = false, ToSet = false;
    uint16_t DeviceID = 0;
    uint32_t EndPos = 0, StartPos = 0;
    uint32_t Error = 0;
    std::string FileName;
    uint32_t Callback = 0;

    // The open file's rate and channels (0 when closed) and whether it plays
    // without an audio output.
    int Rate() const;
    int Channels() const;
    bool Silent() const;

    struct Impl;

private:
    void SetWaitFlags();
    void SetNotifyFlags();
    std::unique_ptr<Impl> F;
};

// The one media player of the process.
TMediaPlayer& MediaPlayer();

// Error texts of the player.
std::string MediaErrorText(uint32_t error);

}  // namespace movarel
