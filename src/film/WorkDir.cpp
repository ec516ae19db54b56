#include "film/WorkDir.h"

namespace movarel {
std::string& WorkDir() {
    static std::string dir;
    return dir;
}
}  // namespace movarel
