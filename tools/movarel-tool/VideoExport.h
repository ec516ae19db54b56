#pragma once
// Export of played segments to a video file through ffmpeg: the tool plays
// the film itself and hands ffmpeg raw RGB frames on a pipe, so the video
// shows exactly what the player draws; the sound tracks are muxed in
// afterwards, once the length of every segment is known.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace movarel {
struct Picture;
}

namespace movarel::tool {

// The full path of an executable of this name on PATH; empty when none.
std::string FindOnPath(const std::string& name, const char* path);

// A child process that reads what is written to its standard input.
class PipedProcess {
public:
    PipedProcess() = default;
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;
    ~PipedProcess();

    // False, with the reason in error, when the program cannot be started.
    bool Start(const std::vector<std::string>& argv, std::string* error);
    // A write interrupted by a signal gives up when stop says so, instead
    // of waiting on a child that may never read again.
    void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }
    // False once the child no longer reads (it stopped or failed), or when
    // the stop check asked to give up.
    bool Write(const uint8_t* data, size_t size);
    // Closes the pipe and waits: the exit status, or -1 when the child did
    // not exit normally. abandon: the output is not wanted, so the child is
    // told to end (SIGTERM) rather than left to finish it.
    int Finish(bool abandon = false);

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::function<bool()> stop_;
};

// Runs a program with standard input from /dev/null and waits: its exit
// status, or -1 when it could not be started or did not exit normally.
int RunProgram(const std::vector<std::string>& argv);

// One played segment of the export as the mux step sees it.
struct ExportedPart {
    std::string soundFile;  // the segment's MP3 track; empty: silence
    int64_t frames = 0;     // video frames the segment took
};

// Runs a program with standard input from /dev/null and returns what it
// wrote to standard output; empty when it could not be started.
std::string ProgramOutput(const std::vector<std::string>& argv);

// The encoder options of a crisp export, from the list that ffmpeg -encoders
// prints: H.264 at full colour resolution (4:4:4) where the build has
// libx264 (without quantisation), else the lossless FFV1 in RGB; empty
// when it has neither.
std::vector<std::string> CrispCodec(const std::string& encoderList);

// The first step: raw RGB frames of width x height at rate frames per second
// from standard input, encoded into videoFile (format by its extension).
// Without codec options the video is 4:2:0, which every player opens.
std::vector<std::string> EncodeArguments(const std::string& ffmpeg, int32_t width, int32_t height, int32_t rate,
                                         const std::string& videoFile,
                                         const std::vector<std::string>& codec = {});

// The second step: the encoded video copied as it is, and one sound stream
// made of each part's track cut or padded with silence to the part's length,
// so every track starts where its segment starts.
std::vector<std::string> MuxArguments(const std::string& ffmpeg, const std::string& videoFile,
                                      const std::vector<ExportedPart>& parts, int32_t rate,
                                      const std::string& outFile);

// The canvas all segments share: the largest segment size, rounded up to
// even sizes because the common 4:2:0 encodings need them.
class VideoCanvas {
public:
    VideoCanvas(int32_t width, int32_t height);
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The picture centred on black, as the player centres a small film.
    void Draw(const Picture& picture);
    const std::vector<uint8_t>& Rgb() const { return rgb_; }

private:
    int32_t width_, height_;
    std::vector<uint8_t> rgb_;
    int32_t lastWidth_ = -1, lastHeight_ = -1;
};

}  // namespace movarel::tool
