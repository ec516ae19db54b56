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
// SetSpeed(0.5 to 2) puts a TimeStretch between the decoder and the output;
// at exactly 1 the decoded samples go to the output as they are, with no
// stretcher in the way. A change while playing goes on from the track
// position of the next sample to be played, taken again from the last
// decoded samples the track keeps. The position moves by the speed factor
// for each frame played, which the stretcher keeps to over any stretch of
// sound; PlayedSeconds maps the output's heard frames onto it.
//
// Threads: every call may come from any thread (Open and Stop from the main
// one, Start and Pause also from the timer thread); calls are serialised by
// the track, and the output's pulls take only the track's sample lock, which
// is never held while the output is called.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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
    void SetSpeed(double factor) override;
    std::optional<double> PlayedSeconds() const override;

    // The open track's length in frames and its format; 0 and {} when none
    // is open.
    int64_t Length() const;
    PcmFormat Format() const;

private:
    struct Decoder;
    // One pull: the frames it was asked for from the output's count on, and
    // the track positions its first and one past its last played frame had.
    struct Pulled {
        uint64_t outBegin = 0;
        size_t asked = 0, got = 0;
        double posBegin = 0, posEnd = 0;
    };

    size_t Read(int16_t* out, size_t frames) override;
    // Under sampleLock_.
    size_t ReadStretched(int16_t* out, size_t frames);
    // Under callLock_.
    void OpenFile(const std::string& soundFile);
    void CloseFile();
    void TellNoDevice();

    AudioOutput& output_;
    std::mutex callLock_;           // one call at a time
    mutable std::mutex sampleLock_;  // the decoder, shared with the output's pulls
    std::unique_ptr<Decoder> decoder_;
    std::string reopen_;            // closed by Stop; Start opens it again
    bool toldNoDevice_ = false;

    // Under sampleLock_.
    double speed_ = 1.0;
    bool playing_ = false;     // started and not paused or stopped since
    bool stream_ = false;      // the output took the track's stream
    uint64_t outFrames_ = 0;   // frames asked by the output's pulls since it opened
    double outPos_ = 0;        // track position of the next frame played
    uint64_t runOut_ = 0;      // outFrames_ at the last start
    double runPos_ = 0;        // the track position it started from
    std::deque<Pulled> pulls_; // the latest pulls since then
    bool flushed_ = false;     // the stretcher was given the track's end
    std::vector<int16_t> feed_;
};

}  // namespace movarel
