#pragma once
// What the import helper hands back over its pipe: a scene file's takes, its motion, or why it
// was refused, as bytes. The bytes come from another process that ran a third-party importer
// on untrusted input, so they are read as any file is: every count, size, index and number is
// checked before use.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel {

class SCENERECORD {
public:
    static constexpr int kVersion = 1;

    static std::string OfTakes(const std::vector<SCENEFILEREAD::TAKE>& takes);
    static std::string OfMotion(const SCENEFILEREAD& motion);
    static std::string OfError(const ERROBJ& error);

    // Each raises the error a record of an error holds, or code 2 for a record that is cut,
    // damaged or of another kind. path becomes the motion's path.
    static std::vector<SCENEFILEREAD::TAKE> ReadTakes(std::string_view bytes);
    static std::unique_ptr<SCENEFILEREAD> ReadMotion(std::string_view bytes, const char* path);
};

}  // namespace tavrel
