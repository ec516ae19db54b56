// The command-line parser on arguments cut from the input at NUL bytes, with
// a screen size taken from its first bytes; every number reader sees every
// argument too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "shell/CommandLine.h"

using namespace movarel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DiscardMessages();
    fuzz::InputReader in(data, size);
    // Screens from none at all to far beyond any real one, and negative.
    const int32_t screenWidth = static_cast<int16_t>(in.Word()) * 16;
    const int32_t screenHeight = static_cast<int16_t>(in.Word()) * 16;
    std::vector<std::string> args;
    std::string current;
    const uint8_t* rest = in.Rest();
    for (size_t i = 0; i < in.RestSize(); ++i) {
        if (rest[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(rest[i]));
        }
    }
    if (!current.empty())
        args.push_back(current);
    for (const std::string& arg : args)
        StrToInt32(arg);
    CommandLineResult result = ParseCommandLine(args, screenWidth, screenHeight, "movarel");
    // A film path is only ever an argument as given.
    if (!result.Settings.FilmPath.empty() && (args.empty() || result.Settings.FilmPath != args[0]))
        abort();
    return 0;
}
