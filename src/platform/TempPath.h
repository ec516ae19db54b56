#pragma once
// The system temporary path and the per-process work directory.
#include <string>

namespace movarel {

// $TMPDIR, else /tmp, always with a trailing '/'.
std::string GetTempPath();

// Creates temp + "qxP_" + n (at least four digits) + "/" for the first n whose
// name does not exist yet, with mkdir mode 0700. A name that exists (a
// directory, a file or a link of another user) is never taken over. Returns
// the path with a trailing '/', or an empty string when nothing could be made.
std::string CreateWorkDirectory(const std::string& tempPath);

// Removes the work directory when it is empty; a directory that still holds
// files stays.
void RemoveWorkDirectory(const std::string& dir);

}  // namespace movarel
