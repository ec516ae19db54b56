// movarel-tool frames, run as the user runs it: the PNG files and digests of
// the frames the player shows, and the video export through ffmpeg read back
// with ffprobe and ffmpeg itself. The expected pictures are worked out here
// from the images and cursor samples the film was written from, not by the
// engine's code.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "run_command.h"
#include "test_dirs.h"

using namespace movarel::writer;

namespace {

// movarel-tool frames ARGS with a private TMPDIR; stdout only, or both.
CommandRun Frames(const TestDir& tmp, const std::string& args, bool withErrors = false) {
    return RunCommand("TMPDIR=" + Quote(tmp.path) + " " + Quote(ToolPath()) + " frames " + args +
                    (withErrors ? " 2>&1" : " 2>/dev/null"));
}

// --- pictures worked out by hand ------------------------------------------

using Rgb = std::vector<uint8_t>;  // width * height * 3, top row first

struct Shape {
    int32_t width, height, hotX, hotY;
    std::vector<uint8_t> andMask;     // 1: the picture shows through
    std::vector<uint32_t> colours;
};

// The image with the cursor drawn at (x, y), clipped at the edges.
Rgb Expected(const Image& image, int32_t w, int32_t h, const Shape& shape, int32_t x, int32_t y) {
    Image shown = image;
    for (int32_t cy = 0; cy < shape.height; ++cy)
        for (int32_t cx = 0; cx < shape.width; ++cx) {
            const int32_t px = x - shape.hotX + cx, py = y - shape.hotY + cy;
            const size_t i = static_cast<size_t>(cy * shape.width + cx);
            if (px < 0 || py < 0 || px >= w || py >= h)
                continue;
            uint32_t& p = shown[static_cast<size_t>(py * w + px)];
            p = ((shape.andMask[i] ? p : 0u) ^ shape.colours[i]) & 0xFFFFFF;
        }
    Rgb rgb;
    for (uint32_t p : shown) {
        rgb.push_back(static_cast<uint8_t>(p >> 16));
        rgb.push_back(static_cast<uint8_t>(p >> 8));
        rgb.push_back(static_cast<uint8_t>(p));
    }
    return rgb;
}

// SHA-256 by the system's sha256sum, so the tool's own hash is checked too.
std::string Sha256Of(const TestDir& dir, const Rgb& bytes) {
    WriteFileBytes(dir.path + "rgb.bin", Bytes(bytes.begin(), bytes.end()));
    CommandRun r = RunCommand("sha256sum " + Quote(dir.path + "rgb.bin"));
    return r.out.substr(0, 64);
}

// A PNG reader for 8-bit RGB files, with every row filter.
bool ReadPng(const std::string& path, int32_t* w, int32_t* h, Rgb* rgb) {
    const Bytes file = ReadFileBytes(path);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || !std::equal(signature, signature + 8, file.begin()))
        return false;
    auto be32 = [&](size_t at) {
        return (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) | (uint32_t{file[at + 2]} << 8) |
               file[at + 3];
    };
    Bytes idat;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = be32(at);
        const std::string type(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8);
        if (at + 12 + length > file.size())
            return false;
        const uint8_t* data = file.data() + at + 8;
        if (type == "IHDR") {
            *w = static_cast<int32_t>(be32(at + 8));
            *h = static_cast<int32_t>(be32(at + 12));
            if (data[8] != 8 || data[9] != 2 || data[12] != 0)
                return false;
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + length);
        }
        at += 12 + length;
    }
    const size_t stride = static_cast<size_t>(*w) * 3;
    Bytes raw((stride + 1) * static_cast<size_t>(*h));
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK || rawSize != raw.size())
        return false;
    rgb->assign(stride * static_cast<size_t>(*h), 0);
    for (size_t y = 0; y < static_cast<size_t>(*h); ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        uint8_t* row = &(*rgb)[y * stride];
        const uint8_t* up = y > 0 ? row - stride : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 3 ? row[i - 3] : 0, b = up ? up[i] : 0, c = (up && i >= 3) ? up[i - 3] : 0;
            int predicted = 0;
            switch (filter) {
                case 0: predicted = 0; break;
                case 1: predicted = a; break;
                case 2: predicted = b; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                    predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                    break;
                }
                default: return false;
            }
            row[i] = static_cast<uint8_t>(in[i] + predicted);
        }
    }
    return true;
}

// --- the film for the frame checks ------------------------------------------

// A 2 x 2 shape with one transparent corner and the hotspot inside it, so
// colour, transparency, hotspot and clipping all show in the picture.
Shape TestShape() { return {2, 2, 1, 0, {0, 0, 1, 0}, {0xFF0000, 0x00FF00, 0x000000, 0xFFFFFF}}; }

// Pixels that differ in every channel, by position and frame.
Image Pattern(int32_t w, int32_t h, int32_t frame) {
    Image image;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            image.push_back(static_cast<uint32_t>(((x * 40 + frame * 7) << 16) | ((y * 60 + frame * 11) << 8) |
                                                  ((x * y * 9 + frame * 30) & 0xFF)));
    return image;
}

struct FrameCase {
    int32_t width, height;
    uint8_t bitsPerPixel;
    bool pacing;  // three ticks, so three cursor samples, per frame
    std::vector<CursorSample> track;
};

SegmentSpec SegmentFor(const FrameCase& c) {
    const Shape shape = TestShape();
    SegmentSpec s;
    s.width = c.width;
    s.height = c.height;
    s.bitsPerPixel = c.bitsPerPixel;
    s.pacing = c.pacing;
    for (int32_t f = 0; f < 3; ++f)
        s.frames.push_back(Pattern(c.width, c.height, f));
    s.cursors = {ColourCursor(shape.width, shape.height, shape.andMask, shape.colours, shape.hotX, shape.hotY)};
    s.track = c.track;
    return s;
}

const std::vector<FrameCase>& FrameCases() {
    static const std::vector<FrameCase> cases = {
        // One tick per frame; the last sample lies on the right edge.
        {6, 4, 32, false, {{0, 1, 1}, {0, 4, 2}, {0, 5, 3}}},
        // 24 bits at an odd width (padded rows), three ticks per frame: the
        // frames shown are those of ticks 0, 3 and 6; the cursor leaves at
        // the top-left corner on tick 6.
        {5, 3, 24, true, {{0, 2, 1}, {0, 9, 9}, {0, 9, 9}, {0, 3, 2}, {0, 9, 9}, {0, 9, 9}, {0, 0, 0}}},
    };
    return cases;
}

Rgb ExpectedFrame(const FrameCase& c, int32_t frame) {
    const CursorSample& s = c.track[static_cast<size_t>(frame * (c.pacing ? 3 : 1))];
    return Expected(Pattern(c.width, c.height, frame), c.width, c.height, TestShape(), s.x, s.y);
}

std::string WriteFrameFilm(const TestDir& dir) {
    FilmSpec film;
    for (const FrameCase& c : FrameCases())
        film.segments.push_back(SegmentFor(c));
    const std::string path = dir.path + "frames.qxf";
    WriteFileBytes(path, BuildFilmFile(film));
    return path;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace

TEST(FramesCommand, DigestsAreThoseOfTheFramesAsShownWithTheCursor) {
    TestDir tmp, films;
    const std::string film = WriteFrameFilm(films);
    const CommandRun r = Frames(tmp, Quote(film) + " --digest");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> expected;
    for (size_t s = 0; s < FrameCases().size(); ++s)
        for (int32_t f = 0; f < 3; ++f)
            expected.push_back(std::to_string(s) + " " + std::to_string(f) + " " +
                               Sha256Of(films, ExpectedFrame(FrameCases()[s], f)));
    EXPECT_EQ(Lines(r.out), expected);
    EXPECT_TRUE(tmp.Files().empty());

    // One segment, and a range of its frames.
    const CommandRun one = Frames(tmp, Quote(film) + " --digest --segment 1 --first 1 --last 1");
    ASSERT_EQ(one.status, 0);
    EXPECT_EQ(Lines(one.out), std::vector<std::string>{expected[4]});
}

TEST(FramesCommand, PngFilesHoldThePicturesOfTheChosenFrames) {
    TestDir tmp, films;
    const std::string film = WriteFrameFilm(films);
    const std::string out = films.path + "png";
    const CommandRun r = Frames(tmp, Quote(film) + " --first 1 --out " + Quote(out));
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"000-00001.png", "000-00002.png", "001-00001.png", "001-00002.png"}));
    for (size_t s = 0; s < FrameCases().size(); ++s)
        for (int32_t f = 1; f < 3; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "/%03zu-%05d.png", s, f);
            int32_t w = 0, h = 0;
            Rgb rgb;
            ASSERT_TRUE(ReadPng(out + name, &w, &h, &rgb)) << name;
            EXPECT_EQ(w, FrameCases()[s].width);
            EXPECT_EQ(h, FrameCases()[s].height);
            EXPECT_EQ(rgb, ExpectedFrame(FrameCases()[s], f)) << name;
        }
}

TEST(FramesCommand, BadArgumentsAreRefusedWithTheUsage) {
    TestDir tmp, films;
    const std::string film = WriteFrameFilm(films);
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"", 2, "usage: movarel-tool frames"},
        {Quote(film) + " --segment", 2, "usage:"},
        {Quote(film) + " --segment -1", 2, "usage:"},
        {Quote(film) + " --first 3 --last 2", 2, "usage:"},
        {Quote(film) + " --segment 2 --digest", 2, "there is no segment 2"},
        {Quote(film) + " --video", 2, "usage:"},
        {Quote(film) + " --video x.mp4 --digest", 2, "--video exports whole segments"},
        {Quote(film) + " --video x.mp4 --last 3", 2, "--video exports whole segments"},
        {Quote(films.path + "missing.qxf") + " --digest", 1, "missing.qxf"},
    };
    for (const Case& c : cases) {
        const CommandRun r = Frames(tmp, c.args, true);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
    }
    EXPECT_TRUE(tmp.Files().empty());
    EXPECT_FALSE(std::filesystem::exists(films.path + "x.mp4"));
}

// --- video export -------------------------------------------------------------

namespace {

// Colours far apart, so a lossy encoding cannot turn one into another.
const uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00};

uint32_t ColourOf(int32_t frame) { return kColours[frame % 6]; }

// frames solid pictures, each of the next colour.
SegmentSpec SolidSegment(int32_t w, int32_t h, float fps, bool pacing, int32_t frames, int32_t colourShift) {
    SegmentSpec s;
    s.width = w;
    s.height = h;
    s.fps = fps;
    s.pacing = pacing;
    for (int32_t f = 0; f < frames; ++f)
        s.frames.push_back(Image(static_cast<size_t>(w * h), ColourOf(f + colourShift)));
    return s;
}

std::string ToneMp3(const TestDir& dir, double seconds) {
    const std::string wav = dir.path + "tone.wav", mp3 = dir.path + "tone.mp3";
    const CommandRun r = RunCommand("sox -n -r 44100 -c 1 " + Quote(wav) + " synth " + std::to_string(seconds) +
                                  " sine 440 vol 0.5 2>&1 && lame --quiet -b 128 " + Quote(wav) + " " + Quote(mp3) +
                                  " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return mp3;
}

// ffprobe's key=value lines for one stream kind ("v" or "a"); empty when the
// file has no such stream.
std::string Probe(const std::string& file, const std::string& kind) {
    return RunCommand("ffprobe -v error -count_frames -select_streams " + kind +
                    " -show_entries stream=width,height,nb_read_frames,duration,r_frame_rate,codec_type"
                    " -of default=noprint_wrappers=1 " + Quote(file) + " 2>&1")
        .out;
}

double Field(const std::string& probe, const std::string& key) {
    for (const std::string& line : Lines(probe))
        if (line.rfind(key + "=", 0) == 0)
            return std::atof(line.c_str() + key.size() + 1);
    return -1;
}

// The video decoded back: one RGB picture per frame.
std::vector<Rgb> DecodeVideo(const std::string& file, int32_t w, int32_t h) {
    const CommandRun r = RunCommand("ffmpeg -v error -i " + Quote(file) + " -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    std::vector<Rgb> frames;
    const size_t size = static_cast<size_t>(w * h * 3);
    for (size_t at = 0; at + size <= r.out.size(); at += size)
        frames.emplace_back(r.out.begin() + static_cast<long>(at), r.out.begin() + static_cast<long>(at + size));
    return frames;
}

// The sound decoded back as mono 16-bit samples at 8000 per second.
std::vector<int16_t> DecodeSound(const std::string& file) {
    const CommandRun r =
        RunCommand("ffmpeg -v error -i " + Quote(file) + " -vn -ac 1 -ar 8000 -f s16le - 2>/dev/null");
    std::vector<int16_t> samples(r.out.size() / 2);
    std::memcpy(samples.data(), r.out.data(), samples.size() * 2);
    return samples;
}

bool Near(const Rgb& picture, int32_t w, int32_t x, int32_t y, uint32_t colour) {
    const uint8_t* p = &picture[static_cast<size_t>((y * w + x) * 3)];
    const int want[3] = {int(colour >> 16 & 0xFF), int(colour >> 8 & 0xFF), int(colour & 0xFF)};
    for (int i = 0; i < 3; ++i)
        if (std::abs(p[i] - want[i]) > 48)
            return false;
    return true;
}

class VideoExport : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"ffmpeg", "ffprobe", "sox", "lame"})
            if (!HaveCommand(program))
                GTEST_SKIP() << program << " is not installed (scripts/install-deps installs it)";
    }
    TestDir tmp, films;
};

}  // namespace

// Two segments of different sizes and timer rates: 2 s at 10 frames per
// second, then 10 frames at 5 per second with three ticks per frame (a timer
// of 15 per second, 28 ticks to its last frame). The video runs at the faster
// rate, the smaller segment centred on black, and the second segment's tone
// starts where the segment starts and is cut where the video ends.
TEST_F(VideoExport, SegmentsFollowEachOtherAtTheirOwnPaceWithTheSoundInPlace) {
    FilmSpec film;
    film.segments = {SolidSegment(32, 24, 10.0f, false, 20, 0), SolidSegment(16, 8, 5.0f, true, 10, 3)};
    film.segments[1].sound = ReadFileBytes(ToneMp3(films, 3.0));
    WriteFileBytes(films.path + "two.qxf", BuildFilmFile(film));
    const std::string video = films.path + "two.mp4";

    const CommandRun r = Frames(tmp, Quote(films.path + "two.qxf") + " --video " + Quote(video), true);
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string v = Probe(video, "v"), a = Probe(video, "a");
    EXPECT_EQ(Field(v, "width"), 32) << v;
    EXPECT_EQ(Field(v, "height"), 24) << v;
    EXPECT_NE(v.find("r_frame_rate=15/1"), std::string::npos) << v;
    const double seconds = 2.0 + 28.0 / 15;
    EXPECT_NEAR(Field(v, "nb_read_frames"), seconds * 15, 1.0) << v;
    EXPECT_NEAR(Field(v, "duration"), seconds, 1.0 / 15) << v;
    ASSERT_NE(a.find("codec_type=audio"), std::string::npos) << a;
    EXPECT_NEAR(Field(a, "duration"), seconds, 0.05) << a;

    // Frame n at n/15 s shows the first segment's frame n * 10 / 15, then the
    // second segment's frame of its tick, inside a black border.
    const std::vector<Rgb> frames = DecodeVideo(video, 32, 24);
    ASSERT_GE(frames.size(), 57u);
    for (int32_t n = 0; n < 30; ++n)
        EXPECT_TRUE(Near(frames[static_cast<size_t>(n)], 32, 16, 12, ColourOf(n * 10 / 15))) << "frame " << n;
    for (int32_t tick = 0; tick < 27; ++tick) {
        const Rgb& picture = frames[static_cast<size_t>(30 + tick)];
        EXPECT_TRUE(Near(picture, 32, 16, 12, ColourOf(3 + tick / 3))) << "tick " << tick;
        EXPECT_TRUE(Near(picture, 32, 2, 2, 0x000000)) << "tick " << tick;
    }

    // Silence for the first two seconds, then the tone to the end.
    const std::vector<int16_t> sound = DecodeSound(video);
    size_t first = sound.size(), last = 0;
    for (size_t i = 0; i < sound.size(); ++i)
        if (std::abs(sound[i]) > 2000) {
            first = std::min(first, i);
            last = i;
        }
    EXPECT_NEAR(static_cast<double>(first) / 8000, 2.0, 0.05);
    EXPECT_NEAR(static_cast<double>(last) / 8000, seconds, 0.1);
    EXPECT_TRUE(tmp.Files().empty());
    EXPECT_EQ(films.Files(), (std::vector<std::string>{"tone.mp3", "tone.wav", "two.mp4", "two.qxf"}));
}

// One segment alone: its own rate, its tone from the start; a film without
// sound gives a video without a sound stream.
TEST_F(VideoExport, OneSegmentAndFilmsWithoutSound) {
    FilmSpec film;
    film.segments = {SolidSegment(32, 24, 10.0f, false, 20, 0), SolidSegment(17, 9, 4.0f, false, 6, 1)};
    film.segments[1].sound = ReadFileBytes(ToneMp3(films, 0.5));
    WriteFileBytes(films.path + "film.qxf", BuildFilmFile(film));

    const CommandRun one =
        Frames(tmp, Quote(films.path + "film.qxf") + " --segment 1 --video " + Quote(films.path + "one.mkv"), true);
    ASSERT_EQ(one.status, 0) << one.out;
    const std::string v = Probe(films.path + "one.mkv", "v");
    // Odd sizes become even ones for the 4:2:0 encoding.
    EXPECT_EQ(Field(v, "width"), 18) << v;
    EXPECT_EQ(Field(v, "height"), 10) << v;
    EXPECT_EQ(Field(v, "nb_read_frames"), 6) << v;
    const std::vector<int16_t> sound = DecodeSound(films.path + "one.mkv");
    ASSERT_FALSE(sound.empty());
    size_t first = sound.size();
    for (size_t i = 0; i < sound.size() && first == sound.size(); ++i)
        if (std::abs(sound[i]) > 2000)
            first = i;
    EXPECT_LT(static_cast<double>(first) / 8000, 0.05);

    const CommandRun silent =
        Frames(tmp, Quote(films.path + "film.qxf") + " --segment 0 --video " + Quote(films.path + "silent.mp4"), true);
    ASSERT_EQ(silent.status, 0) << silent.out;
    EXPECT_EQ(Field(Probe(films.path + "silent.mp4", "v"), "nb_read_frames"), 20);
    EXPECT_EQ(Probe(films.path + "silent.mp4", "a"), "");
}

// Without ffmpeg, or when ffmpeg fails, the tool says so, and a file that
// was there before keeps its contents; nothing half-written is left.
TEST_F(VideoExport, FailuresAreReportedAndLeaveNoPartialFile) {
    FilmSpec film;
    film.segments = {SolidSegment(8, 8, 10.0f, false, 3, 0)};
    WriteFileBytes(films.path + "f.qxf", BuildFilmFile(film));
    WriteFileBytes(films.path + "old.mp4", Bytes{'o', 'l', 'd'});
    WriteFileBytes(films.path + "old.nosuchformat", Bytes{'o', 'l', 'd'});

    const CommandRun missing = RunCommand("PATH=" + Quote(films.path) + " TMPDIR=" + Quote(tmp.path) + " " +
                                        Quote(ToolPath()) + " frames " + Quote(films.path + "f.qxf") + " --video " +
                                        Quote(films.path + "old.mp4") + " 2>&1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("needs ffmpeg"), std::string::npos) << missing.out;

    const CommandRun unknown = Frames(
        tmp, Quote(films.path + "f.qxf") + " --video " + Quote(films.path + "old.nosuchformat"), true);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("ffmpeg could not write"), std::string::npos) << unknown.out;

    const CommandRun noFolder =
        Frames(tmp, Quote(films.path + "f.qxf") + " --video " + Quote(films.path + "no/such/folder.mp4"), true);
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.out.find("ffmpeg could not write"), std::string::npos) << noFolder.out;

    // Sizes from the film that no segment can have are refused before
    // anything is allocated for them.
    FilmSpec huge;
    huge.segments = {SegmentSpec{}};
    huge.segments[0].width = 60000;
    huge.segments[0].height = 60000;
    huge.segments[0].rawFrameRecords = {MakeFrameRecord({{0x123456, 64}})};
    WriteFileBytes(films.path + "huge.qxf", BuildFilmFile(huge));
    const CommandRun tooLarge =
        Frames(tmp, Quote(films.path + "huge.qxf") + " --video " + Quote(films.path + "old.mp4"), true);
    EXPECT_EQ(tooLarge.status, 1);
    EXPECT_NE(tooLarge.out.find("segment 0: 60000 x 60000 pixels at 32 bits cannot be decoded"), std::string::npos)
        << tooLarge.out;
    std::filesystem::remove(films.path + "huge.qxf");

    EXPECT_EQ(ReadFileBytes(films.path + "old.mp4"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(ReadFileBytes(films.path + "old.nosuchformat"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(films.Files(), (std::vector<std::string>{"f.qxf", "old.mp4", "old.nosuchformat"}));
    EXPECT_TRUE(tmp.Files().empty());
}

// --- progress and Ctrl+C ------------------------------------------------------

// On a terminal the export keeps one line up to date and ends it; into a
// pipe or a log it prints nothing but its summary.
TEST_F(VideoExport, ProgressLineOnATerminalOnly) {
    if (!HaveCommand("script"))
        GTEST_SKIP() << "script (bsdutils) is not installed";
    FilmSpec film;
    film.segments = {SolidSegment(32, 24, 10.0f, false, 20, 0), SolidSegment(16, 8, 5.0f, true, 10, 3)};
    WriteFileBytes(films.path + "f.qxf", BuildFilmFile(film));
    const std::string command = "TMPDIR=" + Quote(tmp.path) + " " + Quote(ToolPath()) + " frames " +
                                Quote(films.path + "f.qxf") + " --video " + Quote(films.path + "f.mp4");

    // The second segment is 28 ticks of a 15-per-second timer: 30 + 28 pictures.
    const CommandRun terminal = RunCommand("script -q -e -c " + Quote(command + " >/dev/null") + " /dev/null");
    ASSERT_EQ(terminal.status, 0) << terminal.out;
    const std::string last = "\rframe 58 of 58, ";
    const size_t at = terminal.out.rfind(last);
    ASSERT_NE(at, std::string::npos) << terminal.out;
    EXPECT_EQ(terminal.out.find('\r'), 0u) << terminal.out;
    EXPECT_NE(terminal.out.find(" elapsed, 0:00 left", at), std::string::npos) << terminal.out;
    // The terminal turns the closing newline into CR LF.
    EXPECT_EQ(terminal.out.substr(terminal.out.size() - 2), "\r\n") << terminal.out;
    EXPECT_EQ(terminal.out.find('\n'), terminal.out.size() - 1) << "one line only:\n" << terminal.out;

    const CommandRun piped = RunCommand(command + " 2>&1");
    ASSERT_EQ(piped.status, 0) << piped.out;
    EXPECT_EQ(piped.out, films.path + "f.mp4: 58 frames at 15 per second, 32 x 24, 3.867 s, no sound\n");
    EXPECT_TRUE(tmp.Files().empty());
}

// Ctrl+C in the middle of an export: status 130, no scratch or partial
// video, an older file of the output's name as it was, no work directory,
// and ffmpeg ended too. The ffmpeg here creates its output and then never
// reads, so the tool is stopped while it waits on the pipe.
TEST_F(VideoExport, InterruptStopsTheExportAndLeavesNothing) {
    FilmSpec film;
    film.segments = {SolidSegment(320, 240, 10.0f, false, 5, 0)};
    WriteFileBytes(films.path + "f.qxf", BuildFilmFile(film));
    WriteFileBytes(films.path + "f.mp4", Bytes{'o', 'l', 'd'});
    TestDir bin;
    WriteFileBytes(bin.path + "ffmpeg", [] {
        const std::string script = "#!/bin/sh\nfor last; do :; done\n: > \"$last\"\necho $$ > \"$FAKE_PID\"\n"
                                   "exec sleep 30\n";
        return Bytes(script.begin(), script.end());
    }());
    ASSERT_EQ(::chmod((bin.path + "ffmpeg").c_str(), 0755), 0);

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("PATH", (bin.path + ":" + std::getenv("PATH")).c_str(), 1);
        ::setenv("TMPDIR", tmp.path.c_str(), 1);
        ::setenv("FAKE_PID", (bin.path + "pid").c_str(), 1);
        const std::string tool = ToolPath(), in = films.path + "f.qxf", out = films.path + "f.mp4";
        ::execl(tool.c_str(), tool.c_str(), "frames", in.c_str(), "--video", out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // ffmpeg has started and made its output under the scratch name.
    auto scratchThere = [&] {
        for (const std::string& name : films.Files())
            if (name.rfind(".movarel-", 0) == 0)
                return std::filesystem::exists(bin.path + "pid");
        return false;
    };
    for (int i = 0; i < 500 && !scratchThere(); ++i)
        ::usleep(20000);
    EXPECT_TRUE(scratchThere());
    ::usleep(100000);
    ::kill(pid, SIGINT);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 500 && (done = ::waitpid(pid, &status, WNOHANG)) == 0; ++i)
        ::usleep(20000);
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the tool did not stop on SIGINT";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(films.Files(), (std::vector<std::string>{"f.mp4", "f.qxf"}));
    EXPECT_EQ(ReadFileBytes(films.path + "f.mp4"), (Bytes{'o', 'l', 'd'}));
    EXPECT_TRUE(tmp.Files().empty());
    const Bytes pidText = ReadFileBytes(bin.path + "pid");
    const pid_t ffmpeg = static_cast<pid_t>(std::atoi(std::string(pidText.begin(), pidText.end()).c_str()));
    ASSERT_GT(ffmpeg, 0);
    EXPECT_NE(::kill(ffmpeg, 0), 0) << "ffmpeg was left running";
}

// --- crisp exports --------------------------------------------------------------

namespace {

// Coloured text on white, typed on from frame to frame, as a screen
// recording shows it: 5 x 7 glyphs of one-pixel strokes in cells of 6 x 10
// pixels, words of six letters, each word in one of four inks.
Image ColourText(int32_t w, int32_t h, int32_t frame) {
    const uint32_t ink[] = {0xD02020, 0x2040E0, 0x109010, 0xB000B0};
    Image image(static_cast<size_t>(w * h), 0xFFFFFF);
    const int32_t columns = w / 6, rows = h / 10, typed = (frame + 1) * columns * rows / 4;
    for (int32_t cell = 0; cell < typed; ++cell) {
        const int32_t column = cell % columns, row = cell / columns;
        if (column % 7 == 6)
            continue;  // the space between words
        uint32_t bits = static_cast<uint32_t>(cell) * 2654435761u;
        for (int32_t y = 0; y < 7; ++y)
            for (int32_t x = 0; x < 5; ++x) {
                bits = bits * 1103515245u + 12345u;
                if ((bits >> 16) & 1)
                    image[static_cast<size_t>((row * 10 + 1 + y) * w + column * 6 + x)] =
                        ink[(column / 7 + row) % 4];
            }
    }
    return image;
}

double Psnr(const Rgb& a, const Rgb& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    if (a.size() != b.size())
        return -1;
    return sum == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

std::string StreamField(const std::string& file, const std::string& field) {
    return RunCommand("ffprobe -v error -select_streams v -show_entries stream=" + field +
                      " -of default=noprint_wrappers=1:nokey=1 " + Quote(file) + " 2>&1")
        .out;
}

}  // namespace

// The default export halves the colour resolution; --crisp keeps it (H.264
// 4:4:4) or, with an ffmpeg without libx264, is lossless (FFV1). Each video
// decoded back is held against the engine's own pictures, the PNG frames.
TEST_F(VideoExport, CrispKeepsTheColouredTextThatTheDefaultBlurs) {
    constexpr int32_t kW = 96, kH = 64, kFrames = 4;
    FilmSpec film;
    film.segments = {SegmentSpec{}};
    film.segments[0].width = kW;
    film.segments[0].height = kH;
    for (int32_t f = 0; f < kFrames; ++f)
        film.segments[0].frames.push_back(ColourText(kW, kH, f));
    const std::string path = films.path + "text.qxf";
    WriteFileBytes(path, BuildFilmFile(film));
    ASSERT_EQ(Frames(tmp, Quote(path) + " --out " + Quote(films.path + "png")).status, 0);
    std::vector<Rgb> engine;
    for (int32_t f = 0; f < kFrames; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/000-%05d.png", f);
        int32_t w = 0, h = 0;
        Rgb rgb;
        ASSERT_TRUE(ReadPng(films.path + "png" + name, &w, &h, &rgb)) << name;
        engine.push_back(rgb);
    }
    // The lowest PSNR over the frames of the video, in dB.
    auto worst = [&](const std::string& video) {
        const std::vector<Rgb> decoded = DecodeVideo(video, kW, kH);
        EXPECT_EQ(decoded.size(), engine.size()) << video;
        double low = INFINITY;
        for (size_t i = 0; i < decoded.size() && i < engine.size(); ++i)
            low = std::min(low, Psnr(decoded[i], engine[i]));
        return low;
    };

    const std::string plain = films.path + "plain.mp4", crisp = films.path + "crisp.mp4";
    ASSERT_EQ(Frames(tmp, Quote(path) + " --video " + Quote(plain), true).status, 0);
    const CommandRun c = Frames(tmp, Quote(path) + " --video " + Quote(crisp) + " --crisp", true);
    ASSERT_EQ(c.status, 0) << c.out;
    EXPECT_EQ(StreamField(plain, "pix_fmt"), "yuv420p\n");

    // An ffmpeg that lists no libx264 gets the lossless encoding.
    TestDir bin;
    const std::string found = RunCommand("command -v ffmpeg").out, real = found.substr(0, found.find('\n'));
    const std::string wrapper = "#!/bin/sh\ncase \" $* \" in *\" -encoders \"*) '" + real +
                                "' -hide_banner -encoders | grep -v ' libx264'; exit 0;; esac\nexec '" + real +
                                "' \"$@\"\n";
    WriteFileBytes(bin.path + "ffmpeg", Bytes(wrapper.begin(), wrapper.end()));
    ASSERT_EQ(::chmod((bin.path + "ffmpeg").c_str(), 0755), 0);
    const std::string lossless = films.path + "lossless.mkv";
    const CommandRun l = RunCommand("PATH=" + Quote(bin.path) + ":\"$PATH\" TMPDIR=" + Quote(tmp.path) + " " +
                                    Quote(ToolPath()) + " frames " + Quote(path) + " --crisp --video " + Quote(lossless) +
                                    " 2>&1");
    ASSERT_EQ(l.status, 0) << l.out;
    EXPECT_EQ(StreamField(lossless, "codec_name"), "ffv1\n");

    const double plainDb = worst(plain), crispDb = worst(crisp), losslessDb = worst(lossless);
    std::printf("PSNR against the engine's pictures (worst frame): default 4:2:0 %.1f dB, --crisp H.264 4:4:4 "
                "%.1f dB, --crisp without libx264 (FFV1) %.1f dB\n",
                plainDb, crispDb, losslessDb);
    EXPECT_EQ(StreamField(crisp, "pix_fmt"), "yuv444p\n");
    EXPECT_LT(plainDb, 38.0);
    EXPECT_GT(crispDb, 45.0);
    EXPECT_TRUE(std::isinf(losslessDb)) << losslessDb;
    EXPECT_TRUE(tmp.Files().empty());

    // --crisp is an option of the video export only.
    const CommandRun alone = Frames(tmp, Quote(path) + " --digest --crisp", true);
    EXPECT_EQ(alone.status, 2);
    EXPECT_NE(alone.out.find("--crisp goes with --video"), std::string::npos) << alone.out;
}

namespace {

// Two segments of 24 frames: one tick per frame with a sample for each, and
// three ticks per frame with a track that ends a third of the way in.
std::string WriteSeekFilm(const TestDir& dir) {
    FilmSpec film;
    for (const bool pacing : {false, true}) {
        const Shape shape = TestShape();
        SegmentSpec s;
        s.width = 9;
        s.height = 7;
        s.pacing = pacing;
        for (int32_t f = 0; f < 24; ++f)
            s.frames.push_back(Pattern(s.width, s.height, f));
        s.cursors = {ColourCursor(shape.width, shape.height, shape.andMask, shape.colours, shape.hotX, shape.hotY)};
        for (int32_t i = 0; i < 24; ++i)
            s.track.push_back({0, static_cast<uint16_t>(i % 9), static_cast<uint16_t>(i * 3 % 7)});
        film.segments.push_back(s);
    }
    const std::string path = dir.path + "seek.qxf";
    WriteFileBytes(path, BuildFilmFile(film));
    return path;
}

}  // namespace

TEST(FramesCommand, SeeksShowTheFramesPlayingShows) {
    TestDir tmp, films;
    const std::string film = WriteSeekFilm(films);
    const CommandRun played = Frames(tmp, Quote(film) + " --digest");
    ASSERT_EQ(played.status, 0) << played.out;
    const std::vector<std::string> sequential = Lines(played.out);
    ASSERT_EQ(sequential.size(), 48u);

    // The film's first and last frames, each segment's first and last, and
    // frames inside, back and forth across the segments.
    const std::vector<std::pair<int, int>> targets = {{0, 0}, {1, 23}, {1, 0},  {0, 23}, {1, 12},
                                                      {0, 5}, {1, 4},  {1, 20}, {0, 6},  {0, 0}};
    std::string list;
    std::vector<std::string> expected;
    for (const auto& [s, f] : targets) {
        list += (list.empty() ? "" : ",") + std::to_string(s) + ":" + std::to_string(f);
        expected.push_back(sequential[static_cast<size_t>(s * 24 + f)]);
    }
    const std::string errors = films.path + "errors";
    const CommandRun r = RunCommand("TMPDIR=" + Quote(tmp.path) + " " + Quote(ToolPath()) + " frames " + Quote(film) +
                                    " --seek " + list + " --digest 2>" + Quote(errors));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Lines(r.out), expected);
    const CommandRun timings = RunCommand("cat " + Quote(errors));
    const std::vector<std::string> told = Lines(timings.out);
    ASSERT_EQ(told.size(), targets.size()) << timings.out;
    for (size_t i = 0; i < targets.size(); ++i) {
        const std::string prefix = "seek " + std::to_string(targets[i].first) + ":" +
                                   std::to_string(targets[i].second) + " ";
        EXPECT_EQ(told[i].rfind(prefix, 0), 0u) << told[i];
        EXPECT_EQ(told[i].substr(told[i].size() - 3), " ms") << told[i];
    }
    EXPECT_TRUE(tmp.Files().empty());
}

TEST(FramesCommand, SeekTargetsOutsideTheFilmAreRefused) {
    TestDir tmp, films;
    const std::string film = WriteSeekFilm(films);
    struct Case {
        std::string targets;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"0:24", 1, "there is no frame 0:24; segment 0 has 24 frames"},
        {"0:3,2:0", 1, "there is no frame 2:0; the film has 2 segments"},
        {"1", 2, "usage: movarel-tool frames"},
        {"1:x", 2, "usage: movarel-tool frames"},
        {"0:1,", 2, "usage: movarel-tool frames"},
        {"0:1 --segment 1", 2, "--seek names its frames"},
    };
    for (const Case& c : cases) {
        const CommandRun r = Frames(tmp, Quote(film) + " --digest --seek " + c.targets, true);
        EXPECT_EQ(r.status, c.status) << c.targets;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.targets << ": " << r.out;
        // Nothing is shown before a bad target is found.
        EXPECT_EQ(r.out.find(" ms\n"), std::string::npos) << c.targets;
    }
}
