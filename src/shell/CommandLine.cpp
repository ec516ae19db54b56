#include "shell/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace movarel {

const char* const kWrongCommandLine = "Wrong command line";
const char* const kCommandLineHelpCaption = "Movarel command line";

namespace {

enum class ParseState { Option, PosX, PosY, SizeValue, SizeHeight, SegmentNumber, StartTime, Speed };

struct WrongCommandLine {};

std::string LowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Position arithmetic on values straight from the command line: done in 64
// bits and clamped, so an extreme width cannot overflow.
int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
int32_t Minus(int32_t a, int32_t b) { return Clamp32(int64_t{a} - int64_t{b}); }
int32_t HalfMinus(int32_t a, int32_t b) { return Clamp32((int64_t{a} - int64_t{b}) / 2); }

int32_t ToInt(const std::string& text) {
    std::optional<int32_t> value = StrToInt32(text);
    if (!value) throw WrongCommandLine{};
    return *value;
}

bool IsOptionWord(const std::string& word) {
    return word == "/closeonfinish" || word == "/size" || word == "/pos" || word == "/segm" ||
           word == "/start" || word == "/speed" || word == "/?" || word == "/help" || word == "/-help";
}

// Digits with an optional decimal part ("12", "1.5", ".5", "3."), nothing
// else: no sign, exponent or blanks, whatever the user's locale.
std::optional<double> ParseDecimal(const std::string& text) {
    double whole = 0;
    double scale = 1;
    bool digits = false;
    bool point = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10;
                whole += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits || !std::isfinite(whole)) return std::nullopt;
    return whole;
}

double ToSpeed(const std::string& text) {
    const std::optional<double> factor = ParseDecimal(text);
    if (!factor || *factor < kCommandLineSlowest || *factor > kCommandLineFastest) throw WrongCommandLine{};
    return *factor;
}

double ToStartTime(const std::string& text) {
    const std::optional<double> seconds = ParseStartTime(text);
    if (!seconds) throw WrongCommandLine{};
    return *seconds;
}

void ApplyCorrections(CommandLineSettings& s) {
    if (s.WindowX < 0) s.WindowX = 0;
    if (s.WindowY < 0) s.WindowY = 0;
    if (s.WindowWidth < kMinWindowWidth) s.WindowWidth = kMinWindowWidth;
    if (s.WindowHeight < kMinWindowHeight) s.WindowHeight = kMinWindowHeight;
    if (s.WindowX > s.ScreenWidth - s.WindowWidth) s.WindowX = s.ScreenWidth - s.WindowWidth;
    if (s.WindowY > s.ScreenHeight - s.WindowHeight) s.WindowY = s.ScreenHeight - s.WindowHeight;
    // A window larger than the screen keeps its left or top edge on the
    // screen rather than being pushed off it.
    if (s.WindowX < 0) s.WindowX = 0;
    if (s.WindowY < 0) s.WindowY = 0;
}

}  // namespace

std::optional<int32_t> StrToInt32(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<double> ParseStartTime(const std::string& text) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t colon; (colon = text.find(':', from)) != std::string::npos; from = colon + 1)
        fields.push_back(text.substr(from, colon - from));
    fields.push_back(text.substr(from));
    if (fields.size() > 3) return std::nullopt;
    double total = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        const std::optional<double> value = ParseDecimal(fields[i]);
        // Only the seconds have decimals; a later field is a clock's, below 60.
        if (!value || (!last && fields[i].find('.') != std::string::npos) || (i > 0 && *value >= 60))
            return std::nullopt;
        total = total * 60 + *value;
    }
    return total;
}

std::string CommandLineHelpText(const std::string& programName) {
    static const char* const kLines[] = {
        nullptr,
        "",
        "fullscreen - Full Screen mode",
        "max - Maximized",
        "min - 600 x 400",
        "w h - Width Height",
        "",
        "c - in the Center of the screen",
        "",
        "L - Left side of screen",
        "R - Right side of screen",
        "x - Left",
        "",
        "T - Top side of screen",
        "B - Bottom side of screen",
        "y - Top",
        "",
        "N - Start with segment Number = N",
        "",
        "CloseOnFinish - Close On Finish",
    };
    std::string text = "\"" + programName +
                       "\" [-size {FULLSCREEN|MAX|MIN|{w h}} [-pos {C|{{L|R|x} {T|B|y}}}]] [-segm N] "
                       "[-closeonfinish]";
    for (size_t i = 1; i < std::size(kLines); ++i) {
        text += '\r';
        text += kLines[i];
    }
    return text;
}

CommandLineResult ParseCommandLine(const std::vector<std::string>& args, int32_t screenWidth,
                                   int32_t screenHeight, const std::string& programName) {
    CommandLineResult result;
    CommandLineSettings& s = result.Settings;
    s.ScreenWidth = screenWidth;
    s.ScreenHeight = screenHeight;
    if (args.empty()) return result;

    ParseState state = ParseState::Option;
    try {
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string arg = LowerAscii(args[i]);
            switch (state) {
                case ParseState::Option: {
                    std::string word = arg;
                    if (!word.empty() && word[0] == '-') word[0] = '/';
                    // The first argument that is no option word is the film, also
                    // an absolute path; it keeps its case.
                    if (i == 0 && !IsOptionWord(word)) {
                        s.FilmPath = args[i];
                    } else if (word == "/closeonfinish") {
                        s.CloseOnFinish = true;
                    } else if (word == "/size") {
                        state = ParseState::SizeValue;
                    } else if (word == "/pos") {
                        state = ParseState::PosX;
                    } else if (word == "/segm") {
                        state = ParseState::SegmentNumber;
                    } else if (word == "/start") {
                        state = ParseState::StartTime;
                    } else if (word == "/speed") {
                        state = ParseState::Speed;
                    } else if (word == "/?" || word == "/help" || word == "/-help") {
                        result.Messages.push_back({CommandLineHelpText(programName), kCommandLineHelpCaption,
                                                   MsgIcon::Information, MsgOwner::None});
                    }
                    break;
                }
                case ParseState::PosX:
                    if (arg == "c") {
                        s.WindowX = HalfMinus(s.ScreenWidth, s.WindowWidth);
                        s.WindowY = HalfMinus(s.ScreenHeight, s.WindowHeight);
                        state = ParseState::Option;
                    } else {
                        if (arg == "l")
                            s.WindowX = 0;
                        else if (arg == "r")
                            s.WindowX = Minus(s.ScreenWidth, s.WindowWidth);
                        else
                            s.WindowX = ToInt(arg);
                        state = ParseState::PosY;
                    }
                    break;
                case ParseState::PosY:
                    if (arg == "b")
                        s.WindowY = Minus(s.ScreenHeight, s.WindowHeight);
                    else if (arg == "t")
                        s.WindowY = 0;
                    else
                        s.WindowY = ToInt(arg);
                    state = ParseState::Option;
                    break;
                case ParseState::SizeValue:
                    state = ParseState::Option;
                    if (arg == "fullscreen") {
                        s.FullScreenRequested = true;
                        s.SizeMode = SizeNormal;
                    } else if (arg == "max") {
                        s.SizeMode = SizeMaximized;
                    } else if (arg == "min") {
                        s.SizeMode = SizeNormal;
                        s.WindowWidth = kMinWindowWidth;
                        s.WindowHeight = kMinWindowHeight;
                    } else {
                        s.SizeMode = SizeNormal;
                        s.WindowWidth = ToInt(arg);
                        state = ParseState::SizeHeight;
                    }
                    break;
                case ParseState::SizeHeight:
                    s.WindowHeight = ToInt(arg);
                    s.FullScreenRequested = s.WindowWidth == s.ScreenWidth && s.WindowHeight == s.ScreenHeight;
                    state = ParseState::Option;
                    break;
                case ParseState::SegmentNumber:
                    s.StartSegmentNumber = ToInt(arg);
                    s.StartSegmentGiven = true;
                    state = ParseState::Option;
                    break;
                case ParseState::StartTime:
                    s.StartSeconds = ToStartTime(arg);
                    state = ParseState::Option;
                    break;
                case ParseState::Speed:
                    s.SpeedFactor = ToSpeed(arg);
                    state = ParseState::Option;
                    break;
            }
        }
    } catch (...) {
        result.Messages.push_back({kWrongCommandLine, "Error", MsgIcon::Error, MsgOwner::None});
        return result;
    }
    ApplyCorrections(s);
    return result;
}

}  // namespace movarel
