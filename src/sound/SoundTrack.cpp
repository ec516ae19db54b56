#include "sound/SoundTrack.h"

#include <fcntl.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "film/MessageTexts.h"
#include "film/Streams.h"
#include "platform/FileOps.h"
#include "platform/UserMessages.h"
#include "sound/Mp3Header.h"

namespace movarel {
namespace {

constexpr size_t kFileChunk = 16384;
constexpr size_t kPcmChunkSamples = 8192;

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

    size_t Read(int16_t* out, size_t frames) {
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

SoundTrack::SoundTrack(AudioOutput& output) : FOutput(output) {}

SoundTrack::~SoundTrack() {
    std::lock_guard<std::mutex> call(FCallLock);
    CloseFile();
}

void SoundTrack::Open(const std::string& soundFile) {
    std::lock_guard<std::mutex> call(FCallLock);
    CloseFile();
    FReopen.clear();
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
    {
        std::lock_guard<std::mutex> samples(FSampleLock);
        FDecoder = std::move(decoder);
    }
    if (!FOutput.Open(format, this))
        TellNoDevice();
}

void SoundTrack::CloseFile() {
    bool wasOpen;
    {
        std::lock_guard<std::mutex> samples(FSampleLock);
        wasOpen = FDecoder != nullptr;
    }
    if (!wasOpen)
        return;
    FOutput.Close();
    std::lock_guard<std::mutex> samples(FSampleLock);
    FDecoder.reset();
}

void SoundTrack::TellNoDevice() {
    if (FToldNoDevice)
        return;
    FToldNoDevice = true;
    ShowMessage("No sound output was found on this computer. The film plays without sound.", "Movarel",
                MsgIcon::Warning, MsgOwner::MainWindow);
}

void SoundTrack::Start(double fraction) {
    std::lock_guard<std::mutex> call(FCallLock);
    if (!FReopen.empty()) {
        std::string file;
        file.swap(FReopen);
        OpenFile(file);
    }
    {
        std::lock_guard<std::mutex> samples(FSampleLock);
        if (FDecoder == nullptr)
            return;
        if (!(fraction > 0.0))  // also a NaN
            fraction = 0.0;
        fraction = std::min(fraction, 1.0);
        FDecoder->SeekTo(std::llround(static_cast<double>(FDecoder->length) * fraction));
    }
    FOutput.Resume();
}

void SoundTrack::Pause() {
    std::lock_guard<std::mutex> call(FCallLock);
    FOutput.Pause();
}

void SoundTrack::Stop() {
    std::lock_guard<std::mutex> call(FCallLock);
    std::string file;
    {
        std::lock_guard<std::mutex> samples(FSampleLock);
        if (FDecoder != nullptr)
            file = FDecoder->path;
    }
    CloseFile();
    if (!file.empty())
        FReopen = file;
}

size_t SoundTrack::Read(int16_t* out, size_t frames) {
    std::lock_guard<std::mutex> samples(FSampleLock);
    return FDecoder != nullptr ? FDecoder->Read(out, frames) : 0;
}

int64_t SoundTrack::Length() const {
    std::lock_guard<std::mutex> samples(FSampleLock);
    return FDecoder != nullptr ? FDecoder->length : 0;
}

PcmFormat SoundTrack::Format() const {
    std::lock_guard<std::mutex> samples(FSampleLock);
    return FDecoder != nullptr ? FDecoder->format : PcmFormat{};
}

}  // namespace movarel
