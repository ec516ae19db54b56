#pragma once
// Each movarel-tool command lives in a file of its own and registers itself
// here, so adding a command never touches the others.
#include <string>
#include <vector>

namespace movarel::tool {

using CommandFn = int (*)(const std::vector<std::string>& args);

struct CommandRegistrar {
    CommandRegistrar(const char* name, const char* usage, CommandFn fn);
};

}  // namespace movarel::tool
