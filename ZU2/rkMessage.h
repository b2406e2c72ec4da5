#pragma once
// The kit's message routine: "RK:", the formatted message (at most 544 characters), "\n",
// written to the debug output as three pieces.

void rkMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Maximum length of the formatted part of a kit message.
constexpr int kRkMessageMax = 544;
