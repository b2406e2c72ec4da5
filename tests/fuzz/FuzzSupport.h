#pragma once
// What every reader's harness shares. A harness is one source file that defines
// LLVMFuzzerTestOneInput and Seeds(); linked with libFuzzer it searches for faults, linked with
// FuzzReplay.cpp it runs its corpus once as a regression test.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace tavrel::fuzz {

// Binary seeds made by our own writers, so that no file a program can make is kept in the
// repository. Text seeds live in the harness's corpus folder.
std::vector<std::string> Seeds();

// A private folder for this process, made on first use and removed at exit.
const std::string& Scratch();
// Writes the bytes to a file of that name in the scratch folder; returns its path.
std::string WriteInput(const uint8_t* data, size_t size, const std::string& name);
std::string WriteInput(const std::string& bytes, const std::string& name);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Stops the run as a finding: the fuzzer saves the input that led here.
[[noreturn]] void Fail(const char* what);

}  // namespace tavrel::fuzz
