#pragma once
// How a test starts the whole editor as main() does, over its own data folder: the program's
// shipped files from the build, the user's data (filled with the sample library at the first
// start) and the single-instance socket below home. The test's target defines
// TAVREL_VESK_RCC and TAVREL_SHARE_DIR.
#include <cstdlib>
#include <filesystem>

#include "app/TavrelApp.h"

namespace tavrel::testing {

inline CStartOptions EditorStartOptions(const std::filesystem::path& home) {
    ::setenv("TAVREL_HOME", (home / "data").c_str(), 1);
    CStartOptions start;
    start.bundlePath = TAVREL_VESK_RCC;
    start.programFolder = TAVREL_SHARE_DIR;
    start.instanceName = QString::fromStdString((home / "instance").string());
    return start;
}

}  // namespace tavrel::testing
