#pragma once
// Only regular files are read as files: a pipe or a device would never end, and a path with a
// NUL in it names, for the system, the shorter path before the NUL.
#include <string>

namespace tavrel {

bool IsRegularFile(const std::string& path);

}  // namespace tavrel
