// The wave-output device on its own: header bookkeeping, reset and close.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "SoundTestSupport.h"
#include "platform/WaveOut.h"
#include "sound/qxMp3.h"

using namespace movarel;
using namespace soundtest;

namespace {

MpegLayer3WaveFormat ToneFormat() {
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x64};
    MpegLayer3WaveFormat format;
    Mp3HeaderToFormat(header, format);
    return format;
}

struct Returned {
    std::mutex lock;
    std::vector<WaveHeader*> headers;
    void Add(WaveHeader* h) {
        std::lock_guard<std::mutex> guard(lock);
        headers.push_back(h);
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return headers.size();
    }
};

class WaveOutDevice : public SoundFixture {
protected:
    std::unique_ptr<TWaveOut> Open() {
        std::unique_ptr<TWaveOut> device;
        EXPECT_EQ(TWaveOut::Open(device, ToneFormat(), [this](WaveHeader* h) { returned.Add(h); }), MMSYSERR_NOERROR);
        return device;
    }
    void Load(WaveHeader& header, std::vector<uint8_t>& buffer, const std::vector<char>& bytes, size_t from) {
        buffer.assign(16384, 0);
        size_t n = from < bytes.size() ? std::min<size_t>(16384, bytes.size() - from) : 0;
        std::memcpy(buffer.data(), bytes.data() + from, n);
        header.lpData = buffer.data();
        header.dwBufferLength = 16384;
        header.dwBytesRecorded = static_cast<uint32_t>(n);
    }
    Returned returned;
};

TEST_F(WaveOutDevice, RefusesWhatItCannotTake) {
    std::unique_ptr<TWaveOut> device;
    MpegLayer3WaveFormat pcm = ToneFormat();
    pcm.wFormatTag = 1;
    EXPECT_EQ(TWaveOut::Open(device, pcm, nullptr), WAVERR_BADFORMAT);
    EXPECT_FALSE(device);

    device = Open();
    std::vector<uint8_t> buffer(16384, 0);
    WaveHeader header;
    EXPECT_EQ(device->Write(&header), MMSYSERR_INVALPARAM) << "no buffer";
    header.lpData = buffer.data();
    header.dwBufferLength = 16384;
    EXPECT_EQ(device->Write(&header), WAVERR_UNPREPARED);
    ASSERT_EQ(device->PrepareHeader(&header), MMSYSERR_NOERROR);
    device->Close();
    EXPECT_EQ(device->Write(&header), MMSYSERR_INVALHANDLE) << "closed";
}

TEST_F(WaveOutDevice, ResetAndCloseHandBackEveryQueuedBuffer) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 3.0);
    std::ifstream in(mp3, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 32768u);

    auto device = Open();
    WaveHeader headers[2];
    std::vector<uint8_t> buffers[2];
    for (int i = 0; i < 2; ++i) {
        Load(headers[i], buffers[i], bytes, 16384 * static_cast<size_t>(i));
        ASSERT_EQ(device->PrepareHeader(&headers[i]), MMSYSERR_NOERROR);
        ASSERT_EQ(device->Write(&headers[i]), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(device->Rate(), 44100);
    EXPECT_EQ(device->Channels(), 1);
    EXPECT_EQ(device->Write(&headers[0]), WAVERR_STILLPLAYING);
    EXPECT_EQ(device->UnprepareHeader(&headers[0]), WAVERR_STILLPLAYING);

    // Reset: both come back before it returns, first written first.
    device->Reset();
    ASSERT_EQ(returned.Count(), 2u);
    EXPECT_EQ(returned.headers[0], &headers[0]);
    EXPECT_EQ(returned.headers[1], &headers[1]);
    for (WaveHeader& h : headers) {
        EXPECT_TRUE(h.dwFlags.load() & WHDR_DONE);
        EXPECT_FALSE(h.dwFlags.load() & WHDR_INQUEUE);
    }

    // Written again from the middle of the stream (not a frame boundary):
    // the decoder finds the next frame and plays on.
    Load(headers[0], buffers[0], bytes, 20001);
    ASSERT_EQ(device->Write(&headers[0]), MMSYSERR_NOERROR);
    EXPECT_FALSE(headers[0].dwFlags.load() & WHDR_DONE);
    EXPECT_TRUE(host.PumpUntil([&] { return returned.Count() == 3; }));

    ASSERT_EQ(device->Write(&headers[1]), MMSYSERR_NOERROR);
    device->Close();
    EXPECT_EQ(returned.Count(), 4u) << "close hands back what was still queued";
    EXPECT_EQ(device->UnprepareHeader(&headers[1]), MMSYSERR_NOERROR);

    std::vector<int16_t> played = ReadSamples(diskFile);
    EXPECT_GT(PeakOf(played), 10000) << "the tone was played";
}

TEST_F(WaveOutDevice, ABufferWithoutFramesComesBackWithoutOpeningTheOutput) {
    auto device = Open();
    WaveHeader header;
    std::vector<uint8_t> zeros(16384, 0);
    header.lpData = zeros.data();
    header.dwBufferLength = 16384;
    device->PrepareHeader(&header);
    ASSERT_EQ(device->Write(&header), MMSYSERR_NOERROR);
    EXPECT_EQ(returned.Count(), 1u);
    EXPECT_EQ(device->Rate(), 0);
}

}  // namespace
