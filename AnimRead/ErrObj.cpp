#include "AnimRead/ErrObj.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tavrel {

namespace {

constexpr const char* kCodeTexts[] = {
    "Memory is not sufficient!", "File not found !",        "File is corrupted!",
    "Write file error!",         "File is expired!",        "File is not supported!",
    "File reader is expired!",   "Object is not ready!",    "OK !",
};

// "…/AnimRead/CHARead/CHARead.cpp" -> "AnimRead/CHARead/CHARead": readable, build-folder free.
std::string_view ShortSource(const char* file) {
    std::string_view path = file ? file : "";
    if (size_t at = path.rfind("AnimRead/"); at != std::string_view::npos) path.remove_prefix(at);
    else if (size_t slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    if (size_t dot = path.rfind('.'); dot != std::string_view::npos) path = path.substr(0, dot);
    return path;
}

void SetLocation(ERROBJ& error, const char* file, int line) {
    std::string_view source = ShortSource(file);
    std::snprintf(error.location, sizeof error.location, "%.*s Line:%d",
                  static_cast<int>(source.size()), source.data(), line);
}

}  // namespace

ERROBJ::ERROBJ(int32_t code, const char* file, int line) : code(code), location{}, detail{} {
    SetLocation(*this, file, line);
}

ERROBJ::ERROBJ(int32_t code, const char* file, int line, const char* format, ...)
    : code(code), location{}, detail{} {
    SetLocation(*this, file, line);
    va_list args;
    va_start(args, format);
    std::vsnprintf(detail, sizeof detail, format, args);  // cuts long input lines safely
    va_end(args);
}

const char* ERROBJ::TextOf(int32_t code) {
    if (code < 0 || code >= static_cast<int32_t>(std::size(kCodeTexts))) return "Unknown error!";
    return kCodeTexts[code];
}

}  // namespace tavrel
