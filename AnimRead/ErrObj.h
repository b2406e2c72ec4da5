#pragma once
// The error record thrown by value by every motion-file reader and writer.
#include <cstdint>

namespace tavrel {

enum ErrCode : int32_t {
    ERR_MEMORY = 0,          // "Memory is not sufficient!"
    ERR_FILE_NOT_FOUND = 1,  // "File not found !"
    ERR_CORRUPTED = 2,       // "File is corrupted!"
    ERR_WRITE = 3,           // "Write file error!"
    ERR_EXPIRED = 4,         // "File is expired!" (newer version than we read)
    ERR_NOT_SUPPORTED = 5,   // "File is not supported!"
    ERR_READER_EXPIRED = 6,  // "File reader is expired!" (older version)
    ERR_NOT_READY = 7,       // "Object is not ready!"
    ERR_OK = 8,              // "OK !"
};

struct ERROBJ {
    static constexpr int kLocationSize = 80;
    static constexpr int kDetailSize = 256;

    int32_t code;
    char location[kLocationSize];  // "<source> Line:<n>" of the raising statement
    char detail[kDetailSize];      // about the input, or empty

    // file is a source path (__FILE__); it is shortened to the part from "AnimRead/" on.
    ERROBJ(int32_t code, const char* file, int line);
    ERROBJ(int32_t code, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    // The message of this error's code.
    const char* GetText() const { return TextOf(code); }
    static const char* TextOf(int32_t code);
};

}  // namespace tavrel

// Raises an ERROBJ that records where it was raised; the optional rest is a printf detail.
#define THROW_ERROBJ(code, ...) \
    throw ::tavrel::ERROBJ((code), __FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
