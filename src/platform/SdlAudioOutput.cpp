#include "platform/SdlAudioOutput.h"

#include <SDL.h>

#include <cmath>
#include <cstring>
#include <string>

namespace movarel {
namespace {

// Output frames per pull: about 25 ms, a power of two, at least 256.
Uint16 BufferFrames(int rate) {
    int frames = 256;
    while (frames * 2 <= rate / 40 && frames < 4096)
        frames *= 2;
    return static_cast<Uint16>(frames);
}

}  // namespace

SdlAudioOutput::~SdlAudioOutput() {
    Close();
    std::lock_guard<std::mutex> guard(lock_);
    if (started_ == 1)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    started_ = 0;
}

bool SdlAudioOutput::HasDevice() {
    std::lock_guard<std::mutex> guard(lock_);
    if (started_ == 0) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        started_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 ? 1 : -1;
    }
    return started_ == 1;
}

bool SdlAudioOutput::Open(const PcmFormat& format, AudioSource* source) {
    Close();
    if (format.rate <= 0 || format.channels < 1 || format.channels > 8 || source == nullptr)
        return false;
    if (!HasDevice())
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = format.rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = BufferFrames(format.rate);
    want.callback = &SdlAudioOutput::Fill;
    want.userdata = this;
    format_ = format;
    source_ = source;
    SDL_AudioSpec have;
    // No allowed changes: SDL converts to whatever the device plays.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        source_ = nullptr;
        return false;
    }
    // The disk and dummy drivers take each buffer at once; a sound card's
    // driver keeps one more buffer queued in front of the one just pulled.
    const char* driver = SDL_GetCurrentAudioDriver();
    const std::string name = driver != nullptr ? driver : "";
    std::lock_guard<std::mutex> played(playedLock_);
    asked_ = 0;
    lastPull_ = 0;
    rate_ = format.rate;
    deviceHeld_ = name == "disk" || name == "dummy" ? 0 : have.samples;
    return true;
}

void SdlAudioOutput::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    if (device_ != 0)
        SDL_CloseAudioDevice(device_);
    device_ = 0;
    source_ = nullptr;
    std::lock_guard<std::mutex> played(playedLock_);
    asked_ = 0;
    lastPull_ = 0;
}

void SdlAudioOutput::Pause() {
    std::lock_guard<std::mutex> guard(lock_);
    if (device_ != 0)
        SDL_PauseAudioDevice(device_, 1);
}

void SdlAudioOutput::Resume() {
    std::lock_guard<std::mutex> guard(lock_);
    if (device_ != 0)
        SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioOutput::Fill(void* user, uint8_t* stream, int length) {
    auto* self = static_cast<SdlAudioOutput*>(user);
    if (length <= 0)
        return;
    // The format and the source change only while no device is open.
    const int channels = self->format_.channels;
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(channels);
    auto* samples = reinterpret_cast<int16_t*>(stream);
    size_t frames = static_cast<size_t>(length) / frameBytes;
    size_t got = self->source_ != nullptr ? self->source_->Read(samples, frames) : 0;
    if (got > frames)
        got = frames;
    std::memset(stream + got * frameBytes, 0, static_cast<size_t>(length) - got * frameBytes);
    ApplyGain(samples, got * static_cast<size_t>(channels), channels, self->volume_.load());
    std::lock_guard<std::mutex> played(self->playedLock_);
    self->asked_ += frames;
    self->lastPull_ = frames;
    self->lastPullAt_ = std::chrono::steady_clock::now();
}

uint64_t SdlAudioOutput::HeardFrames() const {
    std::lock_guard<std::mutex> played(playedLock_);
    if (lastPull_ == 0 || rate_ <= 0)
        return asked_;
    const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastPullAt_).count();
    const double waiting = static_cast<double>(lastPull_ + deviceHeld_) - since * rate_;
    const uint64_t held = waiting > 0 ? static_cast<uint64_t>(std::llround(waiting)) : 0;
    return asked_ > held ? asked_ - held : 0;
}

}  // namespace movarel
