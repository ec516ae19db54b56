#pragma once
// Texts made from the message texts (platform/Texts.h): a safe formatter
// for them, since a translated text is a format string from a file and is
// never handed to printf, and the damaged-film message.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace movarel {

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
