#include "sound/SoundTrack.h"

#include <fcntl.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/Texts.h"
#include "film/Streams.h"
#include "platform/FileOps.h"
#include "platform/UserMessages.h"
#include "sound/Mp3Header.h"
#include "sound/TimeStretch.h"

namespace movarel {
namespace {

constexpr size_t kFileChunk = 16384;
constexpr size_t kPcmChunkSamples = 8192;
// The decoded frames kept for a speed change to go back to: far more than
// the stretcher holds at any time.
constexpr int64_t kHistoryFrames = 65536;
// Frames decoded at a time for the stretcher.
constexpr size_t kFeedFrames = 1024;
// Pulls remembered for the position: seconds of sound, more than any output
// holds.
constexpr size_t kKeptPulls = 512;

void InitDecoderLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

void TellFileFault(const char* text) {
    const std::string caption = Texts().Error.empty() ? std::string("Error") : Texts().Error;
    ShowMessage(text, caption, MsgIcon::None, MsgOwner::None);
}

}  // namespace

// The file and its decoder in feed mode: the file is read in chunks and
// handed to the decoder as it needs them.
struct SoundTrack::Decoder {
    std::string path;
    int fd = -1;
    mpg123_handle* handle = nullptr;
    PcmFormat format;
    int64_t length = 0;  // frames
    bool ended = true;   // nothing more to play until the next Start
    std::vector<uint8_t> chunk = std::vector<uint8_t>(kFileChunk);
    std::vector<int16_t> pcm;
    size_t pcmPos = 0;
    // The frames last handed out, from historyStart on, and the track frame
    // Read hands out next (before the history's end after a rewind).
    std::vector<int16_t> history;
    int64_t historyStart = 0;
    int64_t next = 0;
    std::unique_ptr<TimeStretch> stretch;

    ~Decoder() {
        if (handle != nullptr) {
            mpg123_close(handle);
            mpg123_delete(handle);
        }
        if (fd >= 0)
            Files().close(fd);
    }

    // Feeds the next chunk of the file; false at its end or on a read error.
    bool FeedMore() {
        ssize_t n = Files().read(fd, chunk.data(), chunk.size());
        if (n <= 0)
            return false;
        mpg123_feed(handle, chunk.data(), static_cast<size_t>(n));
        return true;
    }

    // Walks every frame of the file once without decoding it: this gives the
    // format, the exact length and the decoder's seek index. False when the
    // file holds no MPEG audio.
    bool Scan() {
        InitDecoderLibrary();
        int err = MPG123_OK;
        handle = mpg123_new(nullptr, &err);
        if (handle == nullptr)
            return false;
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i)
            mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (mpg123_open_feed(handle) != MPG123_OK)
            return false;
        int64_t frames = 0;
        while (FeedMore()) {
            int r;
            while ((r = mpg123_framebyframe_next(handle)) == MPG123_OK || r == MPG123_NEW_FORMAT)
                ++frames;
        }
        long rate = 0;
        int channels = 0, encoding = 0;
        if (frames == 0 || mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
            channels < 1 || channels > 2)
            return false;
        format = {static_cast<int>(rate), channels};
        off_t total = mpg123_length(handle);
        // Without an encoder's info frame the decoder may not know the total.
        length = total > 0 ? static_cast<int64_t>(total) : frames * std::max(0, mpg123_spf(handle));
        // A later frame of another format is converted to this one.
        mpg123_format_none(handle);
        mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16);
        return true;
    }

    void SeekTo(int64_t frame) {
        pcm.clear();
        pcmPos = 0;
        history.clear();
        historyStart = frame;
        next = frame;
        off_t inputOffset = 0;
        ended = mpg123_feedseek(handle, static_cast<off_t>(frame), SEEK_SET, &inputOffset) < 0;
        if (ended)
            return;
        if (Files().seek(fd, inputOffset, SEEK_SET) == -1) {
            ended = true;
            throw Error("_llseek error");
        }
    }

    // Decodes the next piece; false when nothing is left.
    bool DecodeMore() {
        for (int idle = 0; idle < 64;) {
            pcm.resize(kPcmChunkSamples);
            size_t got = 0;
            int r = mpg123_read(handle, pcm.data(), kPcmChunkSamples * sizeof(int16_t), &got);
            pcm.resize(std::min(got / sizeof(int16_t), kPcmChunkSamples));
            pcmPos = 0;
            if (!pcm.empty())
                return true;
            if (r == MPG123_NEED_MORE) {
                if (!FeedMore())
                    return false;
                continue;
            }
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT)
                return false;
            ++idle;
        }
        return false;
    }

    int64_t HistoryEnd() const {
        return historyStart + static_cast<int64_t>(history.size() / static_cast<size_t>(format.channels));
    }

    // Goes back to a frame handed out lately; false when it is no longer kept.
    bool Rewind(int64_t frame) {
        if (frame < historyStart || frame > HistoryEnd())
            return false;
        next = frame;
        return true;
    }

    size_t Read(int16_t* out, size_t frames) {
        const size_t channels = static_cast<size_t>(format.channels);
        size_t done = 0;
        while (done < frames) {
            const int64_t end = HistoryEnd();
            if (next < end) {
                const size_t n = std::min(frames - done, static_cast<size_t>(end - next));
                const size_t from = static_cast<size_t>(next - historyStart) * channels;
                std::memcpy(out + done * channels, history.data() + from, n * channels * sizeof(int16_t));
                next += static_cast<int64_t>(n);
                done += n;
                continue;
            }
            const size_t n = ReadDecoded(out + done * channels, frames - done);
            history.insert(history.end(), out + done * channels, out + (done + n) * channels);
            next += static_cast<int64_t>(n);
            done += n;
            if (n == 0)
                break;
        }
        const int64_t kept = static_cast<int64_t>(history.size() / channels);
        if (kept > 2 * kHistoryFrames) {
            const int64_t drop = kept - kHistoryFrames;
            history.erase(history.begin(), history.begin() + static_cast<ptrdiff_t>(drop) * format.channels);
            historyStart += drop;
        }
        return done;
    }

    size_t ReadDecoded(int16_t* out, size_t frames) {
        const size_t channels = static_cast<size_t>(format.channels);
        const size_t want = frames * channels;
        size_t filled = 0;
        while (filled < want && !ended) {
            if (pcmPos < pcm.size()) {
                size_t n = std::min(pcm.size() - pcmPos, want - filled);
                std::memcpy(out + filled, pcm.data() + pcmPos, n * sizeof(int16_t));
                pcmPos += n;
                filled += n;
                continue;
            }
            if (!DecodeMore())
                ended = true;
        }
        return filled / channels;
    }
};

SoundTrack::SoundTrack(AudioOutput& output) : output_(output) {}

SoundTrack::~SoundTrack() {
    std::lock_guard<std::mutex> call(callLock_);
    CloseFile();
}

void SoundTrack::Open(const std::string& soundFile) {
    std::lock_guard<std::mutex> call(callLock_);
    CloseFile();
    reopen_.clear();
    if (!soundFile.empty())
        OpenFile(soundFile);
}

void SoundTrack::OpenFile(const std::string& soundFile) {
    // An ".mp3" must look like one; a file of another name is tried as it is.
    bool checked = false;
    try {
        Mp3Header header;
        checked = ReadMp3Header(soundFile, header);
    } catch (const Error&) {
        // A file that begins with an ID3 tag still plays: the decoder skips it.
        if (!StartsWithId3Tag(soundFile))
            throw;
        checked = true;
    }
    auto decoder = std::make_unique<Decoder>();
    decoder->path = soundFile;
    decoder->fd = Files().open(soundFile.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (decoder->fd < 0) {
        decoder->fd = -1;
        if (checked)
            throw Error("_lopen error");
        TellFileFault("The sound file cannot be found or opened.");
        return;
    }
    if (!decoder->Scan()) {
        // An ".mp3" whose header reads but holds no frames is silent.
        if (!checked)
            TellFileFault("The sound file holds no MPEG audio that can be played.");
        return;
    }
    const PcmFormat format = decoder->format;
    decoder->stretch = std::make_unique<TimeStretch>(format.rate, format.channels);
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        if (TimeStretch::Stretchable(speed_))
            decoder->stretch->SetFactor(speed_);
        decoder_ = std::move(decoder);
        playing_ = false;
        stream_ = false;
        outFrames_ = 0;
        outPos_ = 0;
        runOut_ = 0;
        runPos_ = 0;
        pulls_.clear();
        flushed_ = false;
    }
    const bool opened = output_.Open(format, this);
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        stream_ = opened;
    }
    if (!opened)
        TellNoDevice();
}

void SoundTrack::CloseFile() {
    bool wasOpen;
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        wasOpen = decoder_ != nullptr;
    }
    if (!wasOpen)
        return;
    output_.Close();
    std::lock_guard<std::mutex> samples(sampleLock_);
    decoder_.reset();
    playing_ = false;
    stream_ = false;
}

void SoundTrack::TellNoDevice() {
    if (toldNoDevice_)
        return;
    toldNoDevice_ = true;
    ShowMessage("No sound output was found on this computer. The film plays without sound.", "Movarel",
                MsgIcon::Warning, MsgOwner::MainWindow);
}

void SoundTrack::Start(double fraction) {
    std::lock_guard<std::mutex> call(callLock_);
    if (!reopen_.empty()) {
        std::string file;
        file.swap(reopen_);
        OpenFile(file);
    }
    bool audible;
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        if (decoder_ == nullptr)
            return;
        if (!(fraction > 0.0))  // also a NaN
            fraction = 0.0;
        fraction = std::min(fraction, 1.0);
        const int64_t frame = std::llround(static_cast<double>(decoder_->length) * fraction);
        decoder_->SeekTo(frame);
        decoder_->stretch->Clear();
        flushed_ = false;
        outPos_ = static_cast<double>(frame);
        // What the output still holds from before was another part of the
        // track: the position starts here.
        runOut_ = outFrames_;
        runPos_ = outPos_;
        pulls_.clear();
        playing_ = true;
        audible = TimeStretch::Stretchable(speed_);
    }
    if (audible)
        output_.Resume();
    else
        output_.Pause();
}

void SoundTrack::Pause() {
    std::lock_guard<std::mutex> call(callLock_);
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        playing_ = false;
    }
    output_.Pause();
}

void SoundTrack::SetSpeed(double factor) {
    std::lock_guard<std::mutex> call(callLock_);
    bool wasAudible, audible, playing;
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        if (factor == speed_)
            return;
        wasAudible = TimeStretch::Stretchable(speed_);
        audible = TimeStretch::Stretchable(factor);  // false for a NaN
        speed_ = factor;
        playing = playing_ && decoder_ != nullptr;
        if (decoder_ != nullptr) {
            if (audible)
                decoder_->stretch->SetFactor(factor);
            // Go on from the next frame to be played: what was decoded
            // beyond it, or is still in the stretcher, is played again at
            // the new speed.
            const int64_t frame = std::llround(outPos_);
            if (!decoder_->Rewind(frame))
                decoder_->SeekTo(frame);
            decoder_->stretch->Clear();
            flushed_ = false;
            outPos_ = static_cast<double>(frame);
        }
    }
    if (playing && audible != wasAudible) {
        if (audible)
            output_.Resume();
        else
            output_.Pause();
    }
}

std::optional<double> SoundTrack::PlayedSeconds() const {
    // Asked first: the output may be in a pull, which holds the sample lock.
    const uint64_t heard = output_.HeardFrames();
    std::lock_guard<std::mutex> samples(sampleLock_);
    if (decoder_ == nullptr || !stream_ || !playing_ || !TimeStretch::Stretchable(speed_))
        return std::nullopt;
    double pos = runPos_;
    if (heard > runOut_ && !pulls_.empty()) {
        pos = pulls_.front().posBegin;  // older than every pull kept
        for (auto it = pulls_.rbegin(); it != pulls_.rend(); ++it) {
            if (it->outBegin > heard)
                continue;
            const uint64_t into = heard - it->outBegin;
            if (into >= it->got)
                pos = it->posEnd;  // the silence after the track's end
            else
                pos = it->posBegin +
                      (it->posEnd - it->posBegin) * static_cast<double>(into) / static_cast<double>(it->got);
            break;
        }
    }
    return pos / static_cast<double>(decoder_->format.rate);
}

void SoundTrack::Stop() {
    std::lock_guard<std::mutex> call(callLock_);
    std::string file;
    {
        std::lock_guard<std::mutex> samples(sampleLock_);
        if (decoder_ != nullptr)
            file = decoder_->path;
    }
    CloseFile();
    if (!file.empty())
        reopen_ = file;
}

size_t SoundTrack::Read(int16_t* out, size_t frames) {
    std::lock_guard<std::mutex> samples(sampleLock_);
    Pulled pull;
    pull.outBegin = outFrames_;
    pull.asked = frames;
    pull.posBegin = outPos_;
    outFrames_ += frames;
    if (decoder_ == nullptr || !TimeStretch::Stretchable(speed_))
        return 0;
    if (speed_ == 1.0) {
        // The decoded samples themselves, and the position exact.
        pull.got = decoder_->Read(out, frames);
        outPos_ = static_cast<double>(decoder_->next);
    } else {
        pull.got = ReadStretched(out, frames);
        outPos_ = std::min(outPos_ + static_cast<double>(pull.got) * speed_, static_cast<double>(decoder_->length));
    }
    pull.posEnd = outPos_;
    pulls_.push_back(pull);
    if (pulls_.size() > kKeptPulls)
        pulls_.pop_front();
    return pull.got;
}

size_t SoundTrack::ReadStretched(int16_t* out, size_t frames) {
    TimeStretch& stretch = *decoder_->stretch;
    const size_t channels = static_cast<size_t>(decoder_->format.channels);
    size_t got = 0;
    for (;;) {
        got += stretch.Take(out + got * channels, frames - got);
        if (got >= frames || flushed_)
            return got;
        feed_.resize(kFeedFrames * channels);
        const size_t fed = decoder_->Read(feed_.data(), kFeedFrames);
        if (fed > 0)
            stretch.Put(feed_.data(), fed);
        if (fed < kFeedFrames) {
            // The track's end: what the stretcher holds back comes out.
            stretch.Flush();
            flushed_ = true;
        }
    }
}

int64_t SoundTrack::Length() const {
    std::lock_guard<std::mutex> samples(sampleLock_);
    return decoder_ != nullptr ? decoder_->length : 0;
}

PcmFormat SoundTrack::Format() const {
    std::lock_guard<std::mutex> samples(sampleLock_);
    return decoder_ != nullptr ? decoder_->format : PcmFormat{};
}

}  // namespace movarel
