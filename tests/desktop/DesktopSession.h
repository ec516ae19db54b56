#pragma once
// The player on a real X server: a private Xvfb display (its number chosen
// by the server itself), a window manager, the player as a child process,
// real key presses and pointer moves through xdotool and screen pixels read
// straight from the server. Everything waits for a condition, never for a
// fixed time.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace desktop {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 900;

// Why the desktop tests cannot run here, or empty when they can.
const std::string& MissingTools();

// Starts an X server on first use, with the window manager when managed
// (which gives a main window the whole screen and applies full screen) or
// bare (windows keep the geometry they ask for), and makes it the one the
// other calls use; servers live until the test program ends. Returns false
// (and says why) when that fails.
bool StartDesktop(bool managed, std::string* why);
const std::string& DisplayName();

struct WindowInfo {
    unsigned long id = 0;
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;  // root coordinates of the client window
    bool overrideRedirect = false;           // menus, tooltips
};

// Pixels of a screen rectangle, 0x00RRGGBB.
struct Grab {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int sx, int sy) const;  // screen coordinates
    bool Contains(int sx, int sy) const { return sx >= x && sy >= y && sx < x + width && sy < y + height; }
};
Grab GrabScreen(int x, int y, int width, int height);
uint32_t PixelAt(int x, int y);

// Channel-wise closeness of two colours.
bool Near(uint32_t a, uint32_t b, int tolerance = 8);

// Polls until pred holds or the time runs out; returns pred().
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(10));

// Runs xdotool with the arguments on the test display; true on exit status 0.
bool Xdo(const std::vector<std::string>& args);
void Key(const std::string& keys);
void MoveMouse(int x, int y);
void Click(int x, int y, int button = 1);

// A child process on the test display, ended (SIGTERM, then SIGKILL) when
// the object goes.
class Player {
public:
    // args follow the program; env entries "NAME=value" are added.
    // The player keeps its settings under configHome; by default every
    // player gets a new folder in tmpDir, so none finds what another saved.
    Player(const std::string& program, const std::vector<std::string>& args, const std::string& tmpDir,
           const std::string& configHome = {});
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    pid_t Pid() const { return pid_; }
    // The process's visible windows, top-level and override-redirect.
    std::vector<WindowInfo> Windows() const;
    // The visible main window ("Movarel" or a film title); waits for it.
    bool WaitForMainWindow(WindowInfo* out, std::chrono::milliseconds limit = std::chrono::seconds(15));
    // A visible window whose name is exactly name, other than the main one.
    bool WaitForWindowNamed(const std::string& name, WindowInfo* out,
                            std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool WaitForNoWindowNamed(const std::string& name, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // The main window's current placement (false when it is not mapped).
    bool MainWindow(WindowInfo* out) const;
    // Waits for the process to end by itself; its exit status.
    bool WaitForExit(int* status, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Gives the main window the keyboard focus.
    void Focus();

private:
    pid_t pid_ = -1;
    unsigned long main_ = 0;
};

// A path to the built player and tool.
std::string PlayerProgram();
std::string ToolProgram();

// Runs a program to its end; its exit status (-1 when it could not start).
int RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace desktop
