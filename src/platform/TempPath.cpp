#include "platform/TempPath.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace movarel {

std::string GetTempPath() {
    const char* env = std::getenv("TMPDIR");
    std::string path = (env && *env) ? env : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

std::string CreateWorkDirectory(const std::string& tempPath) {
    for (long n = 0; n < 100000000L; ++n) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%04ld", n);
        std::string candidate = tempPath + "qxP_" + digits;
        if (::mkdir(candidate.c_str(), 0700) == 0)
            return candidate + "/";
        if (errno != EEXIST)
            return std::string();
    }
    return std::string();
}

void RemoveWorkDirectory(const std::string& dir) {
    if (!dir.empty())
        ::rmdir(dir.c_str());
}

}  // namespace movarel
