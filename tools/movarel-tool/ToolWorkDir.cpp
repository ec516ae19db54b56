#include "ToolWorkDir.h"

#include <filesystem>
#include <vector>

#include "film/Film.h"
#include "film/WorkDir.h"
#include "platform/WorkDirectory.h"

namespace movarel::tool {

ToolWorkDir::ToolWorkDir() : FDirectory(WorkDirectory::Create(GetTempPath())) { WorkDir() = FDirectory.Path(); }

ToolWorkDir::~ToolWorkDir() {
    try {
        SegmentList().Clear();
    } catch (...) {
        // The directory goes below in any case.
    }
    const std::string& path = FDirectory.Path();
    if (!path.empty()) {
        // The directory was made for this process alone (mode 0700), so what
        // a failed extraction left in it is ours to delete; links are
        // removed, never followed. The directory itself goes, still locked,
        // when FDirectory does.
        std::error_code ec;
        std::vector<std::filesystem::path> entries;
        for (const auto& entry : std::filesystem::directory_iterator(path, ec))
            entries.push_back(entry.path());
        for (const auto& entry : entries)
            std::filesystem::remove_all(entry, ec);
    }
    WorkDir().clear();
}

}  // namespace movarel::tool
