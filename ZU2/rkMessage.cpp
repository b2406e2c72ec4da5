#include "ZU2/rkMessage.h"

#include <cstdarg>
#include <cstdio>

#include "base/DebugOutput.h"

void rkMessage(const char* format, ...) {
    char text[kRkMessageMax + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    tavrel::DebugOutput("RK:");
    tavrel::DebugOutput(text);
    tavrel::DebugOutput("\n");
}
