#include "platform/WaveOut.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/UserMessages.h"

namespace movarel {
namespace {

struct AudioOutputState {
    std::mutex lock;
    int started = 0;  // 0 not tried, 1 running, -1 no audio output
    bool told = false;
    std::atomic<uint32_t> gain{0xFFFFFFFFu};
};

AudioOutputState& Audio() {
    static AudioOutputState state;
    return state;
}

void TellNoAudioOnce() {
    {
        std::lock_guard<std::mutex> guard(Audio().lock);
        if (Audio().told)
            return;
        Audio().told = true;
    }
    ShowMessage("No sound output was found on this computer. The film plays without sound.", "Movarel",
                MsgIcon::Warning, MsgOwner::MainWindow);
}

// Output frames per callback: about 25 ms, a power of two, at least 256.
Uint16 BufferFrames(int rate) {
    int frames = 256;
    while (frames * 2 <= rate / 40 && frames < 4096)
        frames *= 2;
    return static_cast<Uint16>(frames);
}

void InitDecoderLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

// ---- gain -------------------------------------------------------------

uint32_t WaveOutGetVolume() { return Audio().gain.load(); }
void WaveOutSetVolume(uint32_t value) { Audio().gain.store(value); }

void ApplyDeviceGain(int16_t* samples, size_t count, int channels) {
    uint32_t gain = Audio().gain.load();
    int32_t left = static_cast<int32_t>(gain & 0xFFFF);
    int32_t right = static_cast<int32_t>(gain >> 16);
    if (left == 0xFFFF && right == 0xFFFF)
        return;
    if (channels < 1)
        channels = 1;
    for (size_t i = 0; i < count; ++i) {
        // Mono and every even channel follow the left gain, odd channels the right.
        int32_t g = (i % static_cast<size_t>(channels)) % 2 == 0 ? left : right;
        samples[i] = static_cast<int16_t>(int32_t{samples[i]} * g / 65535);
    }
}

// ---- audio output -------------------------------------------------------

bool InitAudioOutput() {
    bool ok;
    {
        std::lock_guard<std::mutex> guard(Audio().lock);
        if (Audio().started == 0) {
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            Audio().started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 ? 1 : -1;
        }
        ok = Audio().started == 1;
    }
    if (!ok)
        TellNoAudioOnce();
    return ok;
}

uint32_t OpenAudioStream(int rate, int channels, AudioFill fill, void* user) {
    if (rate <= 0 || channels < 1 || channels > 8 || fill == nullptr)
        return 0;
    if (!InitAudioOutput())
        return 0;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = BufferFrames(rate);
    want.callback = fill;
    want.userdata = user;
    SDL_AudioSpec have;
    // No allowed changes: the output converts to the stream's own format.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        TellNoAudioOnce();
        return 0;
    }
    return id;
}

void PauseAudioStream(uint32_t stream, bool paused) {
    if (stream != 0)
        SDL_PauseAudioDevice(stream, paused ? 1 : 0);
}

void CloseAudioStream(uint32_t stream) {
    if (stream != 0)
        SDL_CloseAudioDevice(stream);
}

void ShutdownAudioOutput() {
    std::lock_guard<std::mutex> guard(Audio().lock);
    if (Audio().started == 1)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Audio().started = 0;
}

void ResetNoAudioNotice() {
    std::lock_guard<std::mutex> guard(Audio().lock);
    Audio().told = false;
}

// ---- the device ---------------------------------------------------------

namespace {
constexpr size_t kPcmChunkSamples = 8192;
}

struct TWaveOut::Impl {
    WaveDoneHandler onDone;
    MpegLayer3WaveFormat format{};
    mpg123_handle* decoder = nullptr;
    std::atomic<uint32_t> stream{0};
    std::atomic<bool> silent{false};
    std::atomic<int> channels{0};
    std::atomic<int> rate{0};

    // Guards everything below; the output callback takes it for each fill.
    std::mutex lock;
    std::deque<WaveHeader*> queue;  // written, not yet returned, in order
    size_t fed = 0;                 // the first `fed` headers of queue are inside the decoder
    bool opening = false;
    bool closed = false;
    std::vector<int16_t> pcm;  // decoded, not yet played
    size_t pcmPos = 0;

    void RestartDecoder() {
        mpg123_close(decoder);
        mpg123_open_feed(decoder);
        pcm.clear();
        pcmPos = 0;
    }

    void Feed(WaveHeader* header) {
        mpg123_feed(decoder, header->lpData, header->dwBufferLength);
    }

    void TakeFed(std::vector<WaveHeader*>& done) {
        for (; fed > 0 && !queue.empty(); --fed) {
            done.push_back(queue.front());
            queue.pop_front();
        }
        fed = 0;
    }

    // Decodes the next piece of PCM, feeding the next queued buffer when the
    // decoder has used up what it has. False when nothing is left to play.
    bool DecodeMore(std::vector<WaveHeader*>& done) {
        for (int attempt = 0; attempt < 64; ++attempt) {
            pcm.resize(kPcmChunkSamples);
            size_t got = 0;
            int r = mpg123_read(decoder, pcm.data(), kPcmChunkSamples * sizeof(int16_t), &got);
            pcm.resize(std::min(got / sizeof(int16_t), kPcmChunkSamples));
            pcmPos = 0;
            if (!pcm.empty())
                return true;
            if (r == MPG123_NEW_FORMAT || r == MPG123_OK)
                continue;
            if (r != MPG123_NEED_MORE)
                RestartDecoder();  // a decoder error: start again with the next buffer
            // Every buffer inside the decoder has been decoded: hand them back.
            TakeFed(done);
            if (queue.empty())
                return false;
            Feed(queue.front());
            fed = 1;
        }
        return false;
    }

    size_t Fill(uint8_t* out, size_t bytes, std::vector<WaveHeader*>& done) {
        size_t filled = 0;
        while (filled < bytes) {
            if (pcmPos < pcm.size()) {
                size_t n = std::min((pcm.size() - pcmPos) * sizeof(int16_t), bytes - filled);
                n &= ~size_t{1};
                if (n == 0)
                    break;
                std::memcpy(out + filled, pcm.data() + pcmPos, n);
                pcmPos += n / sizeof(int16_t);
                filled += n;
                continue;
            }
            if (!DecodeMore(done))
                break;
        }
        return filled;
    }

    void Return(WaveHeader* header) {
        uint32_t flags = header->dwFlags.load();
        header->dwFlags.store((flags & ~WHDR_INQUEUE) | WHDR_DONE);
        if (onDone)
            onDone(header);
    }

    void ReturnAll(const std::vector<WaveHeader*>& headers) {
        for (WaveHeader* h : headers)
            Return(h);
    }

    static void FillCallback(void* user, uint8_t* stream, int length) {
        auto* self = static_cast<Impl*>(user);
        if (length <= 0)
            return;
        std::vector<WaveHeader*> done;
        size_t filled;
        {
            std::lock_guard<std::mutex> guard(self->lock);
            filled = self->Fill(stream, static_cast<size_t>(length), done);
        }
        if (filled < static_cast<size_t>(length))
            std::memset(stream + filled, 0, static_cast<size_t>(length) - filled);
        ApplyDeviceGain(reinterpret_cast<int16_t*>(stream), filled / sizeof(int16_t), self->channels.load());
        self->ReturnAll(done);
    }
};

TWaveOut::TWaveOut() : F(std::make_unique<Impl>()) {}

TWaveOut::~TWaveOut() {
    Close();
    if (F->decoder != nullptr) {
        mpg123_close(F->decoder);
        mpg123_delete(F->decoder);
    }
}

int TWaveOut::Open(std::unique_ptr<TWaveOut>& out, const MpegLayer3WaveFormat& format, WaveDoneHandler onDone) {
    if (format.wFormatTag != WAVE_FORMAT_MPEGLAYER3 || format.nSamplesPerSec == 0)
        return WAVERR_BADFORMAT;
    InitDecoderLibrary();
    std::unique_ptr<TWaveOut> device(new TWaveOut());
    Impl& f = *device->F;
    f.onDone = std::move(onDone);
    f.format = format;
    int err = MPG123_OK;
    f.decoder = mpg123_new(nullptr, &err);
    if (f.decoder == nullptr)
        return MMSYSERR_NOMEM;
    mpg123_param(f.decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Always 16-bit samples, at the stream's own rate and channel count.
    mpg123_format_none(f.decoder);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(f.decoder, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(f.decoder) != MPG123_OK)
        return MMSYSERR_ERROR;
    f.pcm.reserve(kPcmChunkSamples);
    f.silent = !InitAudioOutput();
    out = std::move(device);
    return MMSYSERR_NOERROR;
}

int TWaveOut::PrepareHeader(WaveHeader* header) {
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    header->dwFlags.fetch_or(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

int TWaveOut::UnprepareHeader(WaveHeader* header) {
    if (header == nullptr)
        return MMSYSERR_INVALPARAM;
    if (header->dwFlags.load() & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags.fetch_and(~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

int TWaveOut::Write(WaveHeader* header) {
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    uint32_t flags = header->dwFlags.load();
    if (!(flags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    Impl& f = *F;
    std::vector<WaveHeader*> done;
    bool openNow = false;
    {
        std::lock_guard<std::mutex> guard(f.lock);
        if (f.closed)
            return MMSYSERR_INVALHANDLE;
        header->dwFlags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
        f.queue.push_back(header);
        if (f.silent) {
            done.assign(f.queue.begin(), f.queue.end());
            f.queue.clear();
            f.fed = 0;
        } else if (f.stream == 0 && !f.opening) {
            // The output is opened in the stream's real format, which only the
            // first frame tells.
            while (f.fed < f.queue.size())
                f.Feed(f.queue[f.fed++]);
            long rate = 0;
            int channels = 0, encoding = 0;
            int r = mpg123_getformat(f.decoder, &rate, &channels, &encoding);
            if (r == MPG123_OK && rate > 0 && channels > 0) {
                f.rate = static_cast<int>(rate);
                f.channels = channels;
                f.opening = true;
                openNow = true;
            } else {
                if (r != MPG123_NEED_MORE)
                    f.RestartDecoder();
                // No frame in anything given so far: nothing to play yet.
                f.TakeFed(done);
            }
        }
    }
    if (openNow) {
        uint32_t stream = OpenAudioStream(f.rate, f.channels, &Impl::FillCallback, &f);
        {
            std::lock_guard<std::mutex> guard(f.lock);
            f.opening = false;
            if (stream == 0) {
                f.silent = true;
                done.insert(done.end(), f.queue.begin(), f.queue.end());
                f.queue.clear();
                f.fed = 0;
            } else {
                f.stream = stream;
            }
        }
        PauseAudioStream(stream, false);
    }
    f.ReturnAll(done);
    return MMSYSERR_NOERROR;
}

int TWaveOut::Reset() {
    Impl& f = *F;
    std::vector<WaveHeader*> done;
    {
        std::lock_guard<std::mutex> guard(f.lock);
        done.assign(f.queue.begin(), f.queue.end());
        f.queue.clear();
        f.fed = 0;
        f.RestartDecoder();
    }
    f.ReturnAll(done);
    return MMSYSERR_NOERROR;
}

int TWaveOut::Close() {
    Impl& f = *F;
    // The output's thread may be waiting for the lock inside a fill: close it
    // before taking the lock.
    uint32_t stream = f.stream.exchange(0);
    CloseAudioStream(stream);
    std::vector<WaveHeader*> done;
    {
        std::lock_guard<std::mutex> guard(f.lock);
        if (f.closed)
            return MMSYSERR_NOERROR;
        f.closed = true;
        done.assign(f.queue.begin(), f.queue.end());
        f.queue.clear();
        f.fed = 0;
        f.pcm.clear();
        f.pcmPos = 0;
    }
    f.ReturnAll(done);
    return MMSYSERR_NOERROR;
}

bool TWaveOut::Silent() const { return F->silent.load(); }
int TWaveOut::Channels() const { return F->channels.load(); }
int TWaveOut::Rate() const { return F->rate.load(); }

}  // namespace movarel
