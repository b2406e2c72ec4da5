#pragma once
// Files the model's edits write and remove: failures to remove are of no consequence (a file
// left over is reported as unused later).
#include <filesystem>
#include <string>
#include <vector>

#include "timeline/MotionSide.h"

namespace tavrel::model_files {

inline bool FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

inline void RemoveFile(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

// Removes files an edit wrote and no clip, record or file set names.
inline void RemoveWritten(const std::vector<std::string>& paths, CMotionSide& motion) {
    for (const std::string& path : paths) {
        RemoveFile(path);
        motion.Forget(path);
    }
}

}  // namespace tavrel::model_files
