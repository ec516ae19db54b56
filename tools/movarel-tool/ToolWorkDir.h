#pragma once
// A command's work directory, made under the temporary path as the player
// makes its own at start-up. The object owns it: however the command ends
// (a film error thrown half-way through an extraction, a return from the
// middle), the film's files and the directory go with it. The directory is
// locked while the command runs, so a player starting meanwhile leaves it be.
#include <string>

#include "platform/WorkDirectory.h"

namespace movarel::tool {

class ToolWorkDir {
public:
    ToolWorkDir();
    ~ToolWorkDir();
    ToolWorkDir(const ToolWorkDir&) = delete;
    ToolWorkDir& operator=(const ToolWorkDir&) = delete;

    // False when no directory could be made; the film code then has none.
    bool Ok() const { return !FDirectory.Path().empty(); }

private:
    WorkDirectory FDirectory;
};

}  // namespace movarel::tool
