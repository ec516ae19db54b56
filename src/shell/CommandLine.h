#pragma once
// The command line: window size and place, full screen or maximized, the
// start segment and time, the speed, close-on-finish and the film to play. Parsing is a pure
// function so it can be checked without a screen; the shell shows the
// messages it returns.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/UserMessages.h"

namespace movarel {

constexpr int32_t kMinWindowWidth = 600;
constexpr int32_t kMinWindowHeight = 400;

enum SizeModeValue : uint8_t { SizeNormal = 0, SizeMaximized = 2 };

struct CommandLineSettings {
    int32_t WindowX = 0;
    int32_t WindowY = 0;
    int32_t WindowWidth = kMinWindowWidth;
    int32_t WindowHeight = kMinWindowHeight;
    int32_t StartSegmentNumber = 1;  // 1-based
    bool StartSegmentGiven = false;  // /segm named it: it wins over where the film was left
    uint8_t SizeMode = SizeNormal;
    bool FullScreenRequested = false;
    bool CloseOnFinish = false;
    // /start: seconds into the film, or into the /segm segment; below 0 for none.
    double StartSeconds = -1;
    // /speed: the factor to play at; 0 for none.
    double SpeedFactor = 0;
    std::string FilmPath;  // as given, case kept
    int32_t ScreenWidth = 0;
    int32_t ScreenHeight = 0;
};

struct CommandLineResult {
    CommandLineSettings Settings;
    // Boxes to show, in order: the help box, "Wrong command line".
    std::vector<MessageRequest> Messages;
};

// args are the arguments after the program name. programName is shown in the
// help text's usage line.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args, int32_t screenWidth,
                                   int32_t screenHeight, const std::string& programName = "movarel");

// The whole argument as a signed 32-bit integer: leading blanks, an optional
// sign, then decimal digits, or hexadecimal digits after "$", "x" or "0x".
// Nothing when the text is not such a number or does not fit.
std::optional<int32_t> StrToInt32(const std::string& text);

// A time of /start: seconds with optional decimals, or [H:]M:S where S may
// have decimals and M and S stay below 60 after the first field. Nothing for
// anything else.
std::optional<double> ParseStartTime(const std::string& text);
// The factor range /speed accepts.
constexpr double kCommandLineSlowest = 0.1;
constexpr double kCommandLineFastest = 10.0;

// The 20 lines of the help box, joined by CR.
std::string CommandLineHelpText(const std::string& programName);

extern const char* const kWrongCommandLine;
extern const char* const kCommandLineHelpCaption;

}  // namespace movarel
