#include "VideoExport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "film/Picture.h"

extern char** environ;

namespace movarel::tool {
namespace {

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Seconds as ffmpeg reads them; microseconds are far finer than a sample.
std::string Seconds(int64_t frames, int32_t rate) {
    char text[48];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(frames) / rate);
    return text;
}

}  // namespace

std::string FindOnPath(const std::string& name, const char* path) {
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        // An empty entry means the current folder, as for the shell.
        const std::string dir = end > start ? dirs.substr(start, end - start) : std::string(".");
        const std::string candidate = dir + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

// A child its owner did not finish (an error or exception on the way out)
// makes output nobody wants.
PipedProcess::~PipedProcess() {
    if (pid_ > 0)
        Finish(true);
}

bool PipedProcess::Start(const std::vector<std::string>& argv, std::string* error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    std::vector<char*> args = ArgvOf(argv);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[0]);
    if (rc != 0) {
        ::close(fds[1]);
        *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    fd_ = fds[1];
    return true;
}

bool PipedProcess::Write(const uint8_t* data, size_t size) {
    while (size > 0 && fd_ >= 0) {
        // A signal during a write that had begun gives a short count, not
        // EINTR, so the stop check comes before every write.
        if (stop_ && stop_())
            return false;
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;  // EPIPE: the child has stopped reading
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return fd_ >= 0;
}

int PipedProcess::Finish(bool abandon) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (pid_ <= 0)
        return -1;
    if (abandon)
        ::kill(pid_, SIGTERM);
    const int status = WaitFor(pid_);
    pid_ = -1;
    return status;
}

int RunProgram(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args = ArgvOf(argv);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? WaitFor(pid) : -1;
}

std::string ProgramOutput(const std::vector<std::string>& argv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> args = ArgvOf(argv);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            out.append(buffer, static_cast<size_t>(n));
        }
        WaitFor(pid);
    }
    ::close(fds[0]);
    return out;
}

std::vector<std::string> CrispCodec(const std::string& encoderList) {
    // A line of the list is " V....D name   description".
    auto has = [&](const std::string& name) {
        std::istringstream lines(encoderList);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string flags, encoder;
            if (fields >> flags >> encoder && encoder == name && flags.size() == 6 && flags[0] == 'V')
                return true;
        }
        return false;
    };
    // Full chroma is what coloured text needs, and without quantisation
    // (qp 0) only the rounding to YUV is lost; a screen recording's still
    // areas cost next to nothing, so the file stays near the default's size.
    if (has("libx264"))
        return {"-c:v", "libx264", "-pix_fmt", "yuv444p", "-qp", "0"};
    if (has("ffv1"))
        return {"-c:v", "ffv1", "-pix_fmt", "bgr0"};
    return {};
}

std::vector<std::string> EncodeArguments(const std::string& ffmpeg, int32_t width, int32_t height, int32_t rate,
                                         const std::string& videoFile, const std::vector<std::string>& codec) {
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
                                     std::to_string(width) + "x" + std::to_string(height), "-framerate",
                                     std::to_string(rate), "-i", "pipe:0", "-an"};
    if (codec.empty()) {
        // 4:2:0 is what every player and browser decodes; ffmpeg would keep
        // the full chroma of RGB input otherwise.
        args.insert(args.end(), {"-pix_fmt", "yuv420p"});
    } else {
        args.insert(args.end(), codec.begin(), codec.end());
    }
    args.push_back(videoFile);
    return args;
}

std::vector<std::string> MuxArguments(const std::string& ffmpeg, const std::string& videoFile,
                                      const std::vector<ExportedPart>& parts, int32_t rate,
                                      const std::string& outFile) {
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-nostdin", "-y",
                                     "-i", videoFile};
    // Every track is brought to one format, so concat can join them.
    const std::string format = "aresample=44100,aformat=sample_fmts=fltp:channel_layouts=stereo";
    std::string graph, joined;
    int input = 1, count = 0;
    for (const ExportedPart& part : parts) {
        if (part.frames <= 0)
            continue;
        const std::string duration = Seconds(part.frames, rate);
        const std::string label = "[a" + std::to_string(count) + "]";
        if (!part.soundFile.empty()) {
            // The segment's files have no extension; the format is named.
            args.insert(args.end(), {"-f", "mp3", "-i", part.soundFile});
            // The player stops a segment's sound when the next one starts,
            // and a short track leaves silence.
            graph += "[" + std::to_string(input++) + ":a]" + format + ",apad=whole_dur=" + duration +
                     ",atrim=duration=" + duration + label + ";";
        } else {
            graph += "anullsrc=r=44100:cl=stereo," + format + ",atrim=duration=" + duration + label + ";";
        }
        joined += label;
        ++count;
    }
    graph += joined + "concat=n=" + std::to_string(count) + ":v=0:a=1[sound]";
    args.insert(args.end(), {"-filter_complex", graph, "-map", "0:v", "-map", "[sound]", "-c:v", "copy", outFile});
    return args;
}

VideoCanvas::VideoCanvas(int32_t width, int32_t height)
    : width_(width + (width & 1)), height_(height + (height & 1)),
      rgb_(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3, 0) {}

void VideoCanvas::Draw(const Picture& picture) {
    const int32_t w = std::min(picture.Width, width_), h = std::min(picture.Height, height_);
    if (picture.Width != lastWidth_ || picture.Height != lastHeight_) {
        // A segment of another size leaves no trace of the one before.
        std::fill(rgb_.begin(), rgb_.end(), uint8_t{0});
        lastWidth_ = picture.Width;
        lastHeight_ = picture.Height;
    }
    const int32_t left = (width_ - w) / 2, top = (height_ - h) / 2;
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* in = picture.Row(y);
        uint8_t* out = rgb_.data() + (static_cast<size_t>(top + y) * static_cast<size_t>(width_) +
                                      static_cast<size_t>(left)) * 3;
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = in[x];
            *out++ = static_cast<uint8_t>(p >> 16);
            *out++ = static_cast<uint8_t>(p >> 8);
            *out++ = static_cast<uint8_t>(p);
        }
    }
}

}  // namespace movarel::tool
