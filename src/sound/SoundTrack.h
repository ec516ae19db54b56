#pragma once
// A segment's sound track: its MP3 file decoded with libmpg123 (fed from the
// file as the output asks for samples) into the audio output it is given.
//
// Which files play: an ".mp3" file must begin with a frame header or an ID3
// tag; any other header fault is raised as the header reader's Error, and
// one that cannot be opened after its header was read as "_lopen error". A
// file of another name is played when it holds MPEG audio; when it is missing
// or holds none the user is told (caption "Error") and the segment plays
// without sound. An output without a device is told once per track object.
//
// Start(fraction) plays from sample round(fraction x length) of the decoded
// track (its length without the encoder's delay and padding), so a start is
// sample-accurate; a failed seek in the file is raised as "_llseek error".
//
// Threads: every call may come from any thread (Open and Stop from the main
// one, Start and Pause also from the timer thread); calls are serialised by
// the track, and the output's pulls take only the track's sample lock, which
// is never held while the output is called.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/PlayerSound.h"
#include "platform/AudioOutput.h"

namespace movarel {

class SoundTrack : public PlayerSound, private AudioSource {
public:
    explicit SoundTrack(AudioOutput& output);
    ~SoundTrack() override;
    SoundTrack(const SoundTrack&) = delete;
    SoundTrack& operator=(const SoundTrack&) = delete;

    void Open(const std::string& soundFile) override;
    void Start(double fraction) override;
    void Pause() override;
    void Stop() override;

    // The open track's length in frames and its format; 0 and {} when none
    // is open.
    int64_t Length() const;
    PcmFormat Format() const;

private:
    struct Decoder;

    size_t Read(int16_t* out, size_t frames) override;
    // Under FCallLock.
    void OpenFile(const std::string& soundFile);
    void CloseFile();
    void TellNoDevice();

    AudioOutput& FOutput;
    std::mutex FCallLock;           // one call at a time
    mutable std::mutex FSampleLock;  // the decoder, shared with the output's pulls
    std::unique_ptr<Decoder> FDecoder;
    std::string FReopen;            // closed by Stop; Start opens it again
    bool FToldNoDevice = false;
};

}  // namespace movarel
