// movarel-tool: headless commands over the player's own film code.
#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "Commands.h"

namespace movarel::tool {
namespace {
struct Command {
    std::string usage;
    CommandFn fn;
};
std::map<std::string, Command>& Registry() {
    static std::map<std::string, Command> commands;
    return commands;
}
}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usage, CommandFn fn) {
    Registry()[name] = Command{usage, fn};
}

}  // namespace movarel::tool

int main(int argc, char** argv) {
    using namespace movarel::tool;
    std::string name = argc >= 2 ? argv[1] : "";
    auto it = Registry().find(name);
    if (it == Registry().end()) {
        std::FILE* out = (name == "--help" || name == "help") ? stdout : stderr;
        if (!name.empty() && out == stderr)
            std::fprintf(stderr, "movarel-tool: unknown command '%s'\n", name.c_str());
        std::fprintf(out, "usage:\n");
        for (const auto& [cmd, c] : Registry())
            std::fprintf(out, "  movarel-tool %s\n", c.usage.c_str());
        return out == stdout ? 0 : 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    // Whatever the film code throws ends the command with its text and
    // status 1; the objects that own the work directory and the scratch
    // files have removed them by the time the exception arrives here.
    try {
        return it->second.fn(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "movarel-tool %s: %s\n", name.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "movarel-tool %s: the command failed with an unknown error\n", name.c_str());
    }
    return 1;
}
