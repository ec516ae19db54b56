#include "film/TextFormat.h"

#include "film/Streams.h"

namespace movarel {

std::string DamagedFilmText(const std::string& why) { return "The film is damaged: " + why + "."; }

std::string FormatText(const std::string& format, const std::vector<FormatArg>& args) {
    auto invalid = [&] { return Error("Format '" + format + "' invalid or incompatible with argument"); };
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 >= format.size())
            throw invalid();
        char kind = format[++i];
        if (kind == '%') {
            out += '%';
            continue;
        }
        if (next >= args.size())
            throw invalid();
        const FormatArg& arg = args[next++];
        if (kind == 'd') {
            if (!std::holds_alternative<int64_t>(arg))
                throw invalid();
            out += std::to_string(std::get<int64_t>(arg));
        } else if (kind == 's') {
            if (!std::holds_alternative<std::string>(arg))
                throw invalid();
            out += std::get<std::string>(arg);
        } else {
            throw invalid();
        }
    }
    return out;
}

}  // namespace movarel
