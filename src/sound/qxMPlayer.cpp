#include "sound/qxMPlayer.h"

#include <fcntl.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

#include "film/MessageTexts.h"
#include "platform/FileOps.h"
#include "platform/UserMessages.h"
#include "platform/WaveOut.h"

namespace movarel {
namespace {

constexpr uint32_t MCI_OPEN_ELEMENT = 0x200;
constexpr uint32_t MCI_SEEK_TO_START = 0x100;
constexpr uint32_t MCI_SET_TIME_FORMAT = 0x400;
constexpr uint32_t MCI_STATUS_ITEM = 0x100;
constexpr size_t kPcmChunkSamples = 8192;

enum PlayerState { kStopped, kPlaying, kPaused };

ssize_t ReadThroughFiles(void* handle, void* buffer, size_t count) {
    return Files().read(*static_cast<int*>(handle), buffer, count);
}

off_t SeekThroughFiles(void* handle, off_t offset, int whence) {
    return Files().seek(*static_cast<int*>(handle), offset, whence);
}

uint16_t NextDeviceId() {
    static std::atomic<uint16_t> last{0};
    uint16_t id;
    do
        id = ++last;
    while (id == 0);
    return id;
}

}  // namespace

uint8_t ModeFromStatus(bool statusOk, uint32_t reply) {
    if (!statusOk || reply < MCI_MODE_NOT_READY || reply > MCI_MODE_OPEN)
        return mpUnknown;
    return static_cast<uint8_t>(reply - MCI_MODE_NOT_READY);
}

std::string MediaErrorText(uint32_t error) {
    switch (error) {
    case 0: return "The command was carried out.";
    case MCIERR_INVALID_DEVICE_ID: return "No sound file is open.";
    case MCIERR_UNRECOGNIZED_COMMAND: return "The sound player does not know this command.";
    case MCIERR_INVALID_DEVICE_NAME: return "The sound player knows no device of this type.";
    case MCIERR_FILE_NOT_FOUND: return "The sound file cannot be found or opened.";
    case MCIERR_OUTOFRANGE: return "The position lies beyond the end of the sound.";
    case MCIERR_BAD_TIME_FORMAT: return "The sound player does not know this time format.";
    case MCIERR_INVALID_FILE: return "The sound file holds no MPEG audio that can be played.";
    default: return "Unknown error code";
    }
}

struct TMediaPlayer::Impl {
    // Guards the decoder, the decoded samples and the state against the
    // output's callback.
    std::mutex lock;
    mpg123_handle* decoder = nullptr;
    int fd = -1;
    std::atomic<uint32_t> stream{0};
    bool streamRunning = false;
    bool silent = false;
    long rate = 0;
    int channels = 0;
    off_t length = 0;  // samples per channel
    uint32_t timeFormat = MCI_FORMAT_MILLISECONDS;
    int state = kStopped;
    off_t endSample = -1;  // playing stops here; -1: at the end
    std::vector<int16_t> pcm;
    size_t pcmPos = 0;
    // Without an audio output, playing is only a clock.
    std::chrono::steady_clock::time_point silentStart;
    off_t silentFrom = 0, silentTo = 0;

    off_t ToSamples(uint32_t value) const {
        if (timeFormat == MCI_FORMAT_SAMPLES || rate <= 0)
            return static_cast<off_t>(value);
        return static_cast<off_t>(static_cast<int64_t>(value) * rate / 1000);
    }
    uint32_t FromSamples(off_t samples) const {
        if (samples < 0)
            samples = 0;
        int64_t v = timeFormat == MCI_FORMAT_SAMPLES || rate <= 0 ? samples : int64_t{samples} * 1000 / rate;
        return static_cast<uint32_t>(std::min<int64_t>(v, UINT32_MAX));
    }

    off_t SilentPosition() const {
        auto elapsed = std::chrono::steady_clock::now() - silentStart;
        int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
        int64_t pos = silentFrom + us * rate / 1000000;
        return static_cast<off_t>(std::min<int64_t>(pos, silentTo));
    }

    // Samples per channel; under lock.
    off_t CurrentPosition() const {
        if (silent && state == kPlaying)
            return SilentPosition();
        off_t decoded = decoder ? mpg123_tell(decoder) : 0;
        if (decoded < 0)
            decoded = 0;
        off_t pending = channels > 0 ? static_cast<off_t>((pcm.size() - pcmPos) / static_cast<size_t>(channels)) : 0;
        return std::max<off_t>(0, decoded - pending);
    }

    bool SeekTo(off_t sample) {
        pcm.clear();
        pcmPos = 0;
        return mpg123_seek(decoder, sample, SEEK_SET) >= 0;
    }

    // Under lock: the silent clock ran out.
    void UpdateSilent() {
        if (silent && state == kPlaying && SilentPosition() >= silentTo) {
            SeekTo(silentTo);
            state = kStopped;
        }
    }

    size_t Fill(uint8_t* out, size_t bytes) {
        size_t filled = 0;
        int idle = 0;
        while (filled < bytes && state == kPlaying) {
            if (pcmPos < pcm.size()) {
                size_t n = std::min((pcm.size() - pcmPos) * sizeof(int16_t), bytes - filled) & ~size_t{1};
                if (n == 0)
                    break;
                std::memcpy(out + filled, pcm.data() + pcmPos, n);
                pcmPos += n / sizeof(int16_t);
                filled += n;
                continue;
            }
            size_t want = kPcmChunkSamples;
            if (endSample >= 0) {
                off_t pos = mpg123_tell(decoder);
                if (pos >= endSample) {
                    state = kStopped;
                    break;
                }
                want = std::min<size_t>(want, static_cast<size_t>(endSample - pos) * static_cast<size_t>(channels));
            }
            pcm.resize(kPcmChunkSamples);
            size_t got = 0;
            int r = mpg123_read(decoder, pcm.data(), want * sizeof(int16_t), &got);
            pcm.resize(std::min(got / sizeof(int16_t), want));
            pcmPos = 0;
            if (!pcm.empty())
                continue;
            if ((r == MPG123_NEW_FORMAT || r == MPG123_OK) && ++idle < 64)
                continue;
            state = kStopped;  // the end of the sound, or a file that cannot be decoded further
        }
        return filled;
    }

    static void FillCallback(void* user, uint8_t* out, int length) {
        auto* self = static_cast<Impl*>(user);
        if (length <= 0)
            return;
        size_t filled;
        int channels;
        {
            std::lock_guard<std::mutex> guard(self->lock);
            filled = self->Fill(out, static_cast<size_t>(length));
            channels = self->channels;
        }
        if (filled < static_cast<size_t>(length))
            std::memset(out + filled, 0, static_cast<size_t>(length) - filled);
        ApplyDeviceGain(reinterpret_cast<int16_t*>(out), filled / sizeof(int16_t), channels);
    }

    void Release() {
        uint32_t s = stream.exchange(0);
        CloseAudioStream(s);
        std::lock_guard<std::mutex> guard(lock);
        streamRunning = false;
        if (decoder != nullptr) {
            mpg123_close(decoder);
            mpg123_delete(decoder);
            decoder = nullptr;
        }
        if (fd >= 0) {
            Files().close(fd);
            fd = -1;
        }
        silent = false;
        rate = 0;
        channels = 0;
        length = 0;
        state = kStopped;
        endSample = -1;
        pcm.clear();
        pcmPos = 0;
        timeFormat = MCI_FORMAT_MILLISECONDS;
    }

    // Opens the file; 0 or an error code.
    uint32_t Load(const std::string& fileName) {
        if (fileName.empty())
            return MCIERR_FILE_NOT_FOUND;
        static std::once_flag once;
        std::call_once(once, [] { mpg123_init(); });
        std::lock_guard<std::mutex> guard(lock);
        fd = Files().open(fileName.c_str(), O_RDONLY | O_CLOEXEC, 0);
        if (fd < 0)
            return MCIERR_FILE_NOT_FOUND;
        int err = MPG123_OK;
        decoder = mpg123_new(nullptr, &err);
        if (decoder == nullptr)
            return MCIERR_INVALID_FILE;
        mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        mpg123_format_none(decoder);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i)
            mpg123_format(decoder, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (mpg123_replace_reader_handle(decoder, ReadThroughFiles, SeekThroughFiles, nullptr) != MPG123_OK ||
            mpg123_open_handle(decoder, &fd) != MPG123_OK)
            return MCIERR_INVALID_FILE;
        long r = 0;
        int ch = 0, enc = 0;
        if (mpg123_getformat(decoder, &r, &ch, &enc) != MPG123_OK || r <= 0 || ch < 1 || ch > 2)
            return MCIERR_INVALID_FILE;
        rate = r;
        channels = ch;
        mpg123_scan(decoder);
        length = std::max<off_t>(0, mpg123_length(decoder));
        SeekTo(0);
        pcm.reserve(kPcmChunkSamples);
        return 0;
    }
};

TMediaPlayer::TMediaPlayer() : F(std::make_unique<Impl>()) {}

TMediaPlayer::~TMediaPlayer() {
    if (DeviceID != 0)
        F->Release();
}

void TMediaPlayer::SetWaitFlags() {
    Flags = (!WaitSet || Wait) ? MCI_WAIT : 0;
    if (NotifySet && Notify)
        Flags |= MCI_NOTIFY;
    WaitSet = false;
    NotifySet = false;
}

void TMediaPlayer::SetNotifyFlags() {
    Flags = (!NotifySet || Notify) ? MCI_NOTIFY : 0;
    if (WaitSet && Wait)
        Flags |= MCI_WAIT;
    WaitSet = false;
    NotifySet = false;
}

void TMediaPlayer::Open() {
    if (Opened)
        Close();
    SetWaitFlags();
    Flags |= MCI_OPEN_ELEMENT;
    // The device is chosen by the file's type.
    uint32_t result = F->Load(FileName);
    if (result == 0) {
        uint32_t stream = OpenAudioStream(static_cast<int>(F->rate), F->channels, &Impl::FillCallback, F.get());
        std::lock_guard<std::mutex> guard(F->lock);
        F->stream = stream;
        F->silent = stream == 0;
    }
    Error = result;
    if (result != 0) {
        F->Release();
        std::string caption = Texts().Error.empty() ? std::string("Error") : Texts().Error;
        ShowMessage(ErrorMessage(), caption, MsgIcon::None, MsgOwner::None);
        return;
    }
    Opened = true;
    DeviceID = NextDeviceId();
}

void TMediaPlayer::Close() {
    if (DeviceID == 0)
        return;
    SetWaitFlags();
    F->Release();
    Error = 0;
    Opened = false;
    DeviceID = 0;
}

void TMediaPlayer::Play() {
    SetNotifyFlags();
    if (FromSet)
        Flags |= MCI_FROM;
    if (ToSet)
        Flags |= MCI_TO;
    bool fromSet = FromSet, toSet = ToSet;
    FromSet = false;
    ToSet = false;
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return;
    }
    uint32_t stream = 0;
    {
        std::lock_guard<std::mutex> guard(F->lock);
        if (fromSet) {
            off_t from = F->ToSamples(StartPos);
            if (from > F->length) {
                Error = MCIERR_OUTOFRANGE;
                return;
            }
            F->SeekTo(from);
        }
        F->endSample = toSet ? std::min(F->ToSamples(EndPos), F->length) : -1;
        off_t position = F->CurrentPosition();
        F->state = kPlaying;
        if (F->silent) {
            F->silentStart = std::chrono::steady_clock::now();
            F->silentFrom = position;
            F->silentTo = F->endSample >= 0 ? F->endSample : F->length;
        } else {
            stream = F->stream;
            F->streamRunning = true;
        }
    }
    PauseAudioStream(stream, false);
    Error = 0;
}

namespace {
// Leaves the player at its current position in state; shared by Pause and Stop.
void Halt(TMediaPlayer::Impl& f, int state) {
    uint32_t stream;
    {
        std::lock_guard<std::mutex> guard(f.lock);
        if (f.silent && f.state == kPlaying)
            f.SeekTo(f.SilentPosition());
        f.state = state;
        stream = f.streamRunning ? f.stream.load() : 0;
        f.streamRunning = false;
    }
    PauseAudioStream(stream, true);
}
}  // namespace

void TMediaPlayer::Pause() {
    SetWaitFlags();
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return;
    }
    Halt(*F, kPaused);
    Error = 0;
}

void TMediaPlayer::Stop() {
    SetWaitFlags();
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return;
    }
    Halt(*F, kStopped);
    Error = 0;
}

void TMediaPlayer::Seek(uint32_t position) {
    SetWaitFlags();
    Flags |= MCI_TO;
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return;
    }
    off_t target;
    {
        std::lock_guard<std::mutex> guard(F->lock);
        target = F->ToSamples(position);
        if (target > F->length) {
            Error = MCIERR_OUTOFRANGE;
            return;
        }
    }
    Halt(*F, kStopped);
    std::lock_guard<std::mutex> guard(F->lock);
    Error = F->SeekTo(target) ? 0 : MCIERR_OUTOFRANGE;
}

void TMediaPlayer::Rewind() {
    if (DeviceID == 0)
        return;
    Halt(*F, kStopped);
    std::lock_guard<std::mutex> guard(F->lock);
    F->SeekTo(0);
}

void TMediaPlayer::SetTimeFormat(uint32_t format) {
    Flags = MCI_NOTIFY | MCI_SET_TIME_FORMAT;
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return;
    }
    if (format != MCI_FORMAT_MILLISECONDS && format != MCI_FORMAT_SAMPLES) {
        Error = MCIERR_BAD_TIME_FORMAT;
        return;
    }
    std::lock_guard<std::mutex> guard(F->lock);
    F->timeFormat = format;
    Error = 0;
}

uint32_t TMediaPlayer::Length() {
    Flags = MCI_WAIT | MCI_STATUS_ITEM;
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return 0;
    }
    std::lock_guard<std::mutex> guard(F->lock);
    Error = 0;
    return F->FromSamples(F->length);
}

uint32_t TMediaPlayer::Position() {
    Flags = MCI_WAIT | MCI_STATUS_ITEM;
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return 0;
    }
    std::lock_guard<std::mutex> guard(F->lock);
    F->UpdateSilent();
    Error = 0;
    return F->FromSamples(F->CurrentPosition());
}

uint8_t TMediaPlayer::Mode() {
    Flags = MCI_WAIT | MCI_STATUS_ITEM;
    if (DeviceID == 0) {
        Error = MCIERR_INVALID_DEVICE_ID;
        return ModeFromStatus(false, 0);
    }
    uint32_t reply;
    uint32_t idleStream = 0;
    {
        std::lock_guard<std::mutex> guard(F->lock);
        F->UpdateSilent();
        reply = F->state == kPlaying ? MCI_MODE_PLAY : F->state == kPaused ? MCI_MODE_PAUSE : MCI_MODE_STOP;
        // Played to the end: the output need not run on.
        if (F->state == kStopped && F->streamRunning) {
            idleStream = F->stream;
            F->streamRunning = false;
        }
    }
    PauseAudioStream(idleStream, true);
    Error = 0;
    return ModeFromStatus(true, reply);
}

std::string TMediaPlayer::ErrorMessage() const { return MediaErrorText(Error); }

int TMediaPlayer::Rate() const { return static_cast<int>(F->rate); }
int TMediaPlayer::Channels() const { return F->channels; }
bool TMediaPlayer::Silent() const { return F->silent; }

TMediaPlayer& MediaPlayer() {
    static TMediaPlayer player;
    return player;
}

}  // namespace movarel
