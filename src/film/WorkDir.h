#pragma once
#include <string>

namespace movarel {
// The per-process work directory, with a trailing '/'; empty until created.
std::string& WorkDir();
}  // namespace movarel
