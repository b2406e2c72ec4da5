#pragma once
// The program's debug output: one process-wide sink for diagnostic lines.
// The default sink discards text unless TAVREL_DEBUG=1, then it writes to stderr.
// Tests install their own sink to capture what an operation reported.
#include <functional>
#include <string>
#include <string_view>

namespace tavrel {

using DebugSink = std::function<void(std::string_view)>;

// Writes text to the current sink as it stands (no line break is added).
void DebugOutput(std::string_view text);

// printf-style convenience on top of DebugOutput.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces the sink; returns the previous one. An empty sink restores the default.
DebugSink SetDebugSink(DebugSink sink);

// Captures everything written while it lives; restores the previous sink on destruction.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    const std::string& Text() const { return text_; }
    bool Contains(std::string_view part) const { return text_.find(part) != std::string::npos; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
    DebugSink previous_;
};

}  // namespace tavrel
