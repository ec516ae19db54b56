// The command line over a fixed 1024 x 768 screen.
#include <gtest/gtest.h>

#include "shell/CommandLine.h"

using namespace movarel;

namespace {

struct LineCase {
    const char* name;
    std::vector<std::string> args;
    int32_t x, y, w, h;
    bool fullScreen;
    uint8_t sizeMode;
    int32_t segment;
    bool close;
    std::string film;
    bool wrong;  // "Wrong command line" shown
};

class CommandLineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTable, SettingsAndMessages) {
    const LineCase& c = GetParam();
    const CommandLineResult r = ParseCommandLine(c.args, 1024, 768);
    const CommandLineSettings& s = r.Settings;
    EXPECT_EQ(s.WindowX, c.x);
    EXPECT_EQ(s.WindowY, c.y);
    EXPECT_EQ(s.WindowWidth, c.w);
    EXPECT_EQ(s.WindowHeight, c.h);
    EXPECT_EQ(s.FullScreenRequested, c.fullScreen);
    EXPECT_EQ(s.SizeMode, c.sizeMode);
    EXPECT_EQ(s.StartSegmentNumber, c.segment);
    EXPECT_EQ(s.CloseOnFinish, c.close);
    EXPECT_EQ(s.FilmPath, c.film);
    bool wrong = false;
    for (const MessageRequest& m : r.Messages)
        if (m.text == "Wrong command line") {
            wrong = true;
            EXPECT_EQ(m.caption, "Error");
            EXPECT_EQ(m.icon, MsgIcon::Error);
            EXPECT_EQ(m.owner, MsgOwner::None);
        }
    EXPECT_EQ(wrong, c.wrong);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTable,
    ::testing::Values(
        LineCase{"NoArguments", {}, 0, 0, 600, 400, false, 0, 1, false, "", false},
        LineCase{"SizeAndRightBottom", {"/SIZE", "800", "600", "-POS", "R", "B"}, 224, 168, 800, 600, false, 0, 1,
                 false, "", false},
        LineCase{"ScreenSizedIsFullScreen", {"/size", "1024", "768"}, 0, 0, 1024, 768, true, 0, 1, false, "", false},
        LineCase{"FullScreenWord", {"/size", "fullscreen"}, 0, 0, 600, 400, true, 0, 1, false, "", false},
        LineCase{"Maximized", {"-size", "max"}, 0, 0, 600, 400, false, 2, 1, false, "", false},
        LineCase{"MinAfterSize", {"/size", "900", "700", "/size", "min"}, 0, 0, 600, 400, false, 0, 1, false, "",
                 false},
        LineCase{"TooSmallCorrected", {"/size", "300", "200"}, 0, 0, 600, 400, false, 0, 1, false, "", false},
        LineCase{"Centre", {"/pos", "c"}, 212, 184, 600, 400, false, 0, 1, false, "", false},
        LineCase{"FarAwayCorrected", {"/pos", "5000", "5000"}, 424, 368, 600, 400, false, 0, 1, false, "", false},
        LineCase{"LeftTop", {"/pos", "l", "t"}, 0, 0, 600, 400, false, 0, 1, false, "", false},
        LineCase{"HexPositions", {"/pos", "$10", "0x20"}, 16, 32, 600, 400, false, 0, 1, false, "", false},
        LineCase{"NegativeCorrected", {"/pos", "-50", "-7"}, 0, 0, 600, 400, false, 0, 1, false, "", false},
        LineCase{"Segment", {"/segm", "3", "/closeonfinish"}, 0, 0, 600, 400, false, 0, 3, true, "", false},
        LineCase{"FilmFirstKeepsCase", {"/home/User/Film.QXF", "/segm", "2"}, 0, 0, 600, 400, false, 0, 2, false,
                 "/home/User/Film.QXF", false},
        LineCase{"AbsolutePathFirst", {"/foo", "/segm", "4"}, 0, 0, 600, 400, false, 0, 4, false, "/foo", false},
        LineCase{"RelativeFilm", {"Demo.qxf"}, 0, 0, 600, 400, false, 0, 1, false, "Demo.qxf", false},
        LineCase{"FilmAfterOptionIgnored", {"/closeonfinish", "film.qxf"}, 0, 0, 600, 400, false, 0, 1, true, "",
                 false},
        LineCase{"UnknownOptionIgnored", {"/segm", "4", "/foo"}, 0, 0, 600, 400, false, 0, 4, false, "", false},
        // A bad number stops at once: no corrections, later arguments unread.
        LineCase{"WordAfterSize", {"/pos", "5000", "5000", "/size", "huge", "/segm", "2"}, 5000, 5000, 600, 400,
                 false, 0, 1, false, "", true},
        LineCase{"TrailingGarbage", {"/segm", "12a"}, 0, 0, 600, 400, false, 0, 1, false, "", true},
        LineCase{"Overflow", {"/segm", "2147483648"}, 0, 0, 600, 400, false, 0, 1, false, "", true},
        LineCase{"EndsInsideState", {"/size", "800"}, 0, 0, 800, 400, false, 0, 1, false, "", false},
        // A window wider than the screen keeps its left edge on the screen.
        LineCase{"WiderThanScreen", {"/size", "2000", "500", "/pos", "r", "t"}, 0, 0, 2000, 500, false, 0, 1, false,
                 "", false},
        LineCase{"ExtremeWidthNoOverflow", {"/size", "-2147483648", "400", "/pos", "r", "b"}, 424, 368, 600, 400,
                 false, 0, 1, false, "", false}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(CommandLine, HelpWordsShowTwentyLinesAndParsingGoesOn) {
    for (const char* word : {"/help", "-help", "/?", "--help", "/HELP"}) {
        const CommandLineResult r = ParseCommandLine({word, "/segm", "2"}, 1024, 768, "movarel");
        ASSERT_EQ(r.Messages.size(), 1u) << word;
        const MessageRequest& m = r.Messages[0];
        EXPECT_EQ(m.caption, "Movarel command line");
        EXPECT_EQ(m.icon, MsgIcon::Information);
        EXPECT_EQ(m.owner, MsgOwner::None);
        EXPECT_EQ(std::count(m.text.begin(), m.text.end(), '\r'), 19) << word;
        EXPECT_EQ(m.text.find('\n'), std::string::npos);
        EXPECT_EQ(m.text.rfind("\"movarel\" [-size {FULLSCREEN|MAX|MIN|{w h}}", 0), 0u);
        EXPECT_NE(m.text.find("\rCloseOnFinish - Close On Finish"), std::string::npos);
        EXPECT_EQ(r.Settings.StartSegmentNumber, 2) << word;
        EXPECT_TRUE(r.Settings.FilmPath.empty()) << word;
    }
}

TEST(CommandLine, StringToInteger) {
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"42", 42},           {"  42", 42},        {"-42", -42},       {"+7", 7},
        {"$ff", 255},         {"x1F", 31},         {"0x10", 16},       {"-$10", -16},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt},
        {"0x80000000", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt}, {"$", std::nullopt},
        {"12 ", std::nullopt}, {"1.5", std::nullopt}, {"abc", std::nullopt}, {"99999999999999999999", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(StrToInt32(text), expected) << '"' << text << '"';
}

TEST(CommandLine, StartTimes) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"0", 0.0},          {"90", 90.0},         {"12.5", 12.5},      {".5", 0.5},
        {"1:30", 90.0},      {"1:02:03", 3723.0},  {"0:00.25", 0.25},   {"100:00", 6000.0},
        {"1:60", std::nullopt},      {"1.5:00", std::nullopt}, {"1:2:3:4", std::nullopt},
        {"", std::nullopt},          {":30", std::nullopt},    {"1:", std::nullopt},
        {"-5", std::nullopt},        {"1e3", std::nullopt},    {"1,5", std::nullopt},
        {" 5", std::nullopt},        {"1..5", std::nullopt},   {"nan", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseStartTime(text), expected) << '"' << text << '"';
}

// /start and /speed: a bad word is "Wrong command line" and ends the parsing
// as a bad number does; the film's own limits are checked once it is loaded.
TEST(CommandLine, StartAndSpeedOptions) {
    struct Case {
        std::vector<std::string> args;
        double start;
        double speed;
        int32_t segment;
        bool wrong;
    } cases[] = {
        {{"/start", "1:05", "/speed", "1.5"}, 65, 1.5, 1, false},
        {{"film.qxf", "-START", "7.25", "/segm", "2"}, 7.25, 0, 2, false},
        {{"/speed", "0.1"}, -1, 0.1, 1, false},
        {{"/speed", "10"}, -1, 10, 1, false},
        {{"/speed", "0.09", "/segm", "2"}, -1, 0, 1, true},
        {{"/speed", "10.5"}, -1, 0, 1, true},
        {{"/speed", "fast"}, -1, 0, 1, true},
        {{"/start", "soon", "/speed", "2"}, -1, 0, 1, true},
        {{"/start", "-3"}, -1, 0, 1, true},
        {{"/start"}, -1, 0, 1, false},  // ends inside the option: nothing set
    };
    for (const Case& c : cases) {
        const CommandLineResult r = ParseCommandLine(c.args, 1024, 768);
        const std::string line = c.args[0] + " " + c.args.back();
        EXPECT_EQ(r.Settings.StartSeconds, c.start) << line;
        EXPECT_EQ(r.Settings.SpeedFactor, c.speed) << line;
        EXPECT_EQ(r.Settings.StartSegmentNumber, c.segment) << line;
        EXPECT_EQ(!r.Messages.empty() && r.Messages.back().text == kWrongCommandLine, c.wrong) << line;
        // An option word first is no film.
        EXPECT_EQ(r.Settings.FilmPath.empty(), c.args[0][0] != 'f') << line;
    }
}

}  // namespace
