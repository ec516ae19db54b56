#include "DesktopSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace desktop {

namespace {

using Clock = std::chrono::steady_clock;

bool OnPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        bool replaced = key == "WAYLAND_DISPLAY";
        for (const std::string& x : extra)
            if (x.substr(0, x.find('=')) == key) replaced = true;
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

// Starts program with args. Descriptors opened without FD_CLOEXEC (the pipe
// for Xvfb's display number) are inherited.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
            bool quiet = true) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    std::vector<char*> cenv;
    for (std::string& e : envCopy) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, cargs.data(), cenv.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool WaitPid(pid_t pid, int* status, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (true) {
        int st = 0;
        const pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid) {
            if (status) *status = st;
            return true;
        }
        if (r < 0) return true;
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void EndProcess(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (!WaitPid(pid, nullptr, std::chrono::seconds(5))) {
        kill(pid, SIGKILL);
        WaitPid(pid, nullptr, std::chrono::seconds(5));
    }
}

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

struct DesktopState {
    pid_t server = -1;
    pid_t wm = -1;
    Display* display = nullptr;
    std::string name;
    bool tried = false;
    bool ok = false;
    std::string why;
    ~DesktopState() {
        if (display) XCloseDisplay(display);
        EndProcess(wm);
        EndProcess(server);
    }
};

// One server with the window manager, one bare (where windows keep the
// geometry they ask for); the tests choose.
DesktopState& State(int which) {
    static DesktopState states[2];
    return states[which];
}
int& Current() {
    static int current = 0;
    return current;
}
DesktopState& State() { return State(Current()); }

Display* Dpy() { return State().display; }

std::string WindowName(Display* d, Window w) {
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return name;
    }
    char* plain = nullptr;
    if (XFetchName(d, w, &plain) && plain != nullptr) {
        name = plain;
        XFree(plain);
    }
    return name;
}

long WindowPid(Display* d, Window w) {
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        if (count == 1 && format == 32) pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

void Collect(Display* d, Window w, pid_t pid, std::vector<WindowInfo>& out) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return;
    for (unsigned int i = 0; i < n; ++i) {
        const Window c = children[i];
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, c, &a) || a.map_state != IsViewable) continue;
        if (WindowPid(d, c) == pid) {
            WindowInfo info;
            info.id = c;
            info.name = WindowName(d, c);
            info.width = a.width;
            info.height = a.height;
            info.overrideRedirect = a.override_redirect;
            Window child = 0;
            XTranslateCoordinates(d, c, a.root, 0, 0, &info.x, &info.y, &child);
            out.push_back(info);
            continue;
        }
        Collect(d, c, pid, out);
    }
    if (children) XFree(children);
}

}  // namespace

const std::string& MissingTools() {
    static const std::string missing = [] {
        std::string m;
        for (const char* tool : {"Xvfb", "xdotool", "matchbox-window-manager"})
            if (!OnPath(tool)) m += std::string(m.empty() ? "" : ", ") + tool;
        return m.empty() ? m : "not installed: " + m + " (scripts/install-deps installs them)";
    }();
    return missing;
}

bool StartDesktop(bool managed, std::string* why) {
    Current() = managed ? 0 : 1;
    DesktopState& s = State();
    if (s.tried) {
        if (why) *why = s.why;
        return s.ok;
    }
    s.tried = true;
    if (!MissingTools().empty()) {
        s.why = MissingTools();
        if (why) *why = s.why;
        return false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        s.why = "no pipe for Xvfb's display number";
        if (why) *why = s.why;
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string screen = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
    s.server = Spawn("Xvfb", {"-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"},
                     ChildEnvironment({}));
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto end = Clock::now() + std::chrono::seconds(15);
    while (number.find('\n') == std::string::npos && Clock::now() < end) {
        if (poll(&p, 1, 100) > 0) {
            char buffer[32];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fds[0]);
    if (s.server < 0 || number.find('\n') == std::string::npos) {
        s.why = "Xvfb did not start";
        if (why) *why = s.why;
        return false;
    }
    s.name = ":" + number.substr(0, number.find('\n'));
    s.display = XOpenDisplay(s.name.c_str());
    if (s.display == nullptr) {
        s.why = "cannot connect to Xvfb on " + s.name;
        if (why) *why = s.why;
        return false;
    }
    XSetErrorHandler(IgnoreXErrors);
    if (!managed) {
        s.ok = true;
        return true;
    }
    s.wm = Spawn("matchbox-window-manager", {"-use_titlebar", "no"}, ChildEnvironment({"DISPLAY=" + s.name}));
    // A window manager is running once someone redirects the root's map requests.
    const bool wmUp = WaitUntil([&] {
        XWindowAttributes a;
        XGetWindowAttributes(s.display, DefaultRootWindow(s.display), &a);
        return (a.all_event_masks & SubstructureRedirectMask) != 0;
    });
    if (!wmUp) {
        s.why = "the window manager did not start";
        if (why) *why = s.why;
        return false;
    }
    s.ok = true;
    return true;
}

const std::string& DisplayName() { return State().name; }

uint32_t Grab::At(int sx, int sy) const {
    if (!Contains(sx, sy)) return 0xFFFFFFFFu;
    return pixels[static_cast<size_t>(sy - y) * static_cast<size_t>(width) + static_cast<size_t>(sx - x)];
}

Grab GrabScreen(int x, int y, int width, int height) {
    Grab g;
    if (x < 0) { width += x; x = 0; }
    if (y < 0) { height += y; y = 0; }
    if (x + width > kScreenWidth) width = kScreenWidth - x;
    if (y + height > kScreenHeight) height = kScreenHeight - y;
    if (Dpy() == nullptr || width <= 0 || height <= 0) return g;
    XImage* image = XGetImage(Dpy(), DefaultRootWindow(Dpy()), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return g;
    g.x = x;
    g.y = y;
    g.width = width;
    g.height = height;
    g.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            g.pixels[static_cast<size_t>(row) * width + col] =
                static_cast<uint32_t>(XGetPixel(image, col, row)) & 0xFFFFFFu;
    XDestroyImage(image);
    return g;
}

uint32_t PixelAt(int x, int y) {
    const Grab g = GrabScreen(x, y, 1, 1);
    return g.pixels.empty() ? 0xFFFFFFFFu : g.pixels[0];
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > end) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    return true;
}

int RunProgram(const std::string& program, const std::vector<std::string>& args) {
    const pid_t pid = Spawn(program, args, ChildEnvironment({"DISPLAY=" + DisplayName()}));
    if (pid < 0) return -1;
    int status = 0;
    if (!WaitPid(pid, &status, std::chrono::seconds(60))) {
        EndProcess(pid);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Xdo(const std::vector<std::string>& args) { return RunProgram("xdotool", args) == 0; }
void Key(const std::string& keys) { Xdo({"key", "--clearmodifiers", keys}); }
// xdotool's own --sync waits for a motion that never comes when the pointer
// is already there, so the pointer is asked for instead.
void MoveMouse(int x, int y) {
    Xdo({"mousemove", std::to_string(x), std::to_string(y)});
    WaitUntil(
        [&] {
            Window root = 0, child = 0;
            int rx = -1, ry = -1, wx = 0, wy = 0;
            unsigned int mask = 0;
            XQueryPointer(Dpy(), DefaultRootWindow(Dpy()), &root, &child, &rx, &ry, &wx, &wy, &mask);
            return rx == x && ry == y;
        },
        std::chrono::seconds(2));
}
void Click(int x, int y, int button) {
    MoveMouse(x, y);
    Xdo({"click", std::to_string(button)});
}

std::string PlayerProgram() { return MOVAREL_PLAYER; }
std::string ToolProgram() { return MOVAREL_TOOL_PROGRAM; }

Player::Player(const std::string& program, const std::vector<std::string>& args, const std::string& tmpDir,
               const std::string& configHome) {
    const std::string runtime = tmpDir + "runtime";
    mkdir(runtime.c_str(), 0700);
    static int players = 0;
    const std::string config = configHome.empty() ? tmpDir + "config-" + std::to_string(++players) : configHome;
    pid_ = Spawn(program, args,
                 ChildEnvironment({"DISPLAY=" + DisplayName(), "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=dummy",
                                   "XDG_RUNTIME_DIR=" + runtime, "TMPDIR=" + tmpDir, "XDG_CONFIG_HOME=" + config, "NO_AT_BRIDGE=1",
                                   "QT_ACCESSIBILITY=0", "XDG_SESSION_TYPE=x11"}),
                 std::getenv("MOVAREL_DESKTOP_VERBOSE") == nullptr);
}

Player::~Player() { EndProcess(pid_); }

std::vector<WindowInfo> Player::Windows() const {
    std::vector<WindowInfo> out;
    if (Dpy() == nullptr || pid_ <= 0) return out;
    XSync(Dpy(), False);
    Collect(Dpy(), DefaultRootWindow(Dpy()), pid_, out);
    return out;
}

bool Player::MainWindow(WindowInfo* out) const {
    for (const WindowInfo& w : Windows())
        if (w.id == main_) {
            if (out) *out = w;
            return true;
        }
    return false;
}

bool Player::WaitForMainWindow(WindowInfo* out, std::chrono::milliseconds limit) {
    if (main_ == 0) {
        WaitUntil(
            [&] {
                for (const WindowInfo& w : Windows())
                    if (!w.overrideRedirect && w.name.rfind("Movarel", 0) == 0) {
                        main_ = w.id;
                        return true;
                    }
                return false;
            },
            limit);
    }
    return main_ != 0 && MainWindow(out);
}

bool Player::WaitForWindowNamed(const std::string& name, WindowInfo* out, std::chrono::milliseconds limit) {
    return WaitUntil(
        [&] {
            for (const WindowInfo& w : Windows())
                if (w.id != main_ && w.name == name) {
                    if (out) *out = w;
                    return true;
                }
            return false;
        },
        limit);
}

bool Player::WaitForNoWindowNamed(const std::string& name, std::chrono::milliseconds limit) {
    return WaitUntil(
        [&] {
            for (const WindowInfo& w : Windows())
                if (w.id != main_ && w.name == name) return false;
            return true;
        },
        limit);
}

bool Player::WaitForExit(int* status, std::chrono::milliseconds limit) {
    int st = 0;
    if (!WaitPid(pid_, &st, limit)) return false;
    pid_ = -1;
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return true;
}

void Player::Focus() {
    if (main_ != 0) Xdo({"windowfocus", "--sync", std::to_string(main_)});
}

}  // namespace desktop
