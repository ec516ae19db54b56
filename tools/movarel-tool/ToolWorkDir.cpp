#include "ToolWorkDir.h"

#include <filesystem>

#include "film/SegmentList.h"
#include "film/WorkDir.h"
#include "platform/TempPath.h"

namespace movarel::tool {

ToolWorkDir::ToolWorkDir() : FPath(CreateWorkDirectory(GetTempPath())) { WorkDir() = FPath; }

ToolWorkDir::~ToolWorkDir() {
    try {
        SegmentList().Clear();
    } catch (...) {
        // The directory goes below in any case.
    }
    if (!FPath.empty()) {
        // The directory was made for this process alone (mode 0700), so what
        // a failed extraction left in it is ours to delete; links are
        // removed, never followed.
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    WorkDir().clear();
}

}  // namespace movarel::tool
