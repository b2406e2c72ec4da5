#include "base/DebugOutput.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tavrel {
namespace {

std::mutex g_sinkMutex;
DebugSink g_sink;

bool DebugToStderr() {
    static const bool on = [] {
        const char* v = std::getenv("TAVREL_DEBUG");
        return v && std::strcmp(v, "1") == 0;
    }();
    return on;
}

}  // namespace

void DebugOutput(std::string_view text) {
    std::lock_guard lock(g_sinkMutex);
    if (g_sink) {
        g_sink(text);
    } else if (DebugToStderr()) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
}

void DebugPrintf(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    DebugOutput(buffer);
}

DebugSink SetDebugSink(DebugSink sink) {
    std::lock_guard lock(g_sinkMutex);
    DebugSink previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}

DebugCapture::DebugCapture() {
    previous_ = SetDebugSink([this](std::string_view text) { text_.append(text); });
}

DebugCapture::~DebugCapture() { SetDebugSink(std::move(previous_)); }

}  // namespace tavrel
