#pragma once
// The player's built-in message texts, replaced at start-up from the language
// table, and a safe formatter for them: a translated text is a format string
// from a file, so it is never handed to printf.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace movarel {

struct MessageTexts {
    std::string Error;
    std::string Loading;
    std::string InvalidVersionFormat;
    std::string Warning;
    std::string SegmentCountFmt;
    std::string WrongFile;
    std::string WrongDisplaySettings;
    std::string CannotOpenFileFmt;
    std::string CannotCreateTempFile;
    std::string VideoDecompressorError;
    std::string Segments;
};

// The one set of message texts of the process.
MessageTexts& Texts();

// Gives every message text its English value.
void SetDefaultTexts();

// A damaged film in the player's own words: "The film is damaged: " + why + ".".
// These texts are not in the language table.
std::string DamagedFilmText(const std::string& why);

using FormatArg = std::variant<int64_t, std::string>;

// Fills %d and %s placeholders in order (%% is a percent sign). A placeholder
// whose argument is missing or of the other kind raises
// Error("Format '<format>' invalid or incompatible with argument");
// surplus arguments are left out.
std::string FormatText(const std::string& format, const std::vector<FormatArg>& args);

}  // namespace movarel
