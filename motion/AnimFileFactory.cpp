#include "motion/AnimFileFactory.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "AnimRead/CHARead/CHARead.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "AnimRead/HTRRead/HTRRead.h"

namespace tavrel {
namespace {

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

template <typename T>
std::unique_ptr<ANIMFILE> Build(const char* path, int stream) {
    if (!path) return std::make_unique<T>();
    return std::make_unique<T>(path, stream);
}

}  // namespace

MotionFileType MotionFileTypeOf(std::string_view path) {
    std::string lowered(path);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (EndsWith(lowered, ".htr")) return kTypeHTR;
    if (EndsWith(lowered, ".cha")) return kTypeCHA;
    if (EndsWith(lowered, ".chb")) return kTypeCHB;
    return kTypeUnknown;
}

std::unique_ptr<ANIMFILE> OpenAnimFile(const char* path, int type, int preload) {
    switch (type) {
        case kTypeCHA:
            return Build<CHAREAD>(path, preload);
        case kTypeCHB:
            return Build<CHBREAD>(path, preload);
        case kTypeHTR:
            return Build<HTRREAD>(path, preload);
        default:
            return nullptr;
    }
}

std::unique_ptr<ANIMFILE> CreateAnimFile(const char* path, int type, int stream) {
    try {
        return OpenAnimFile(path, type, stream);
    } catch (...) {
        // Readers raise ERROBJ; anything else (such as bad_alloc) means the same: no motion.
        return nullptr;
    }
}

}  // namespace tavrel
