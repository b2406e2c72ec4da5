// The gallery's window tests run on the offscreen platform with their own runtime and data
// folders: the desktop trash of these tests is a temporary folder.
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>

#include "tests/browse/BrowseTestSupport.h"

namespace tavrel::testing {

std::string TestDataHome() {
    static const std::string home = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavrel-browse-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return home;
}

}  // namespace tavrel::testing

int main(int argc, char** argv) {
    // Freed memory is filled with a pattern, so that a view that goes on with an item already
    // freed fails every time instead of now and then.
    mallopt(M_PERTURB, 0xA5);
    const std::string home = tavrel::testing::TestDataHome();
    std::filesystem::create_directory(home + "/runtime");
    std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("TAVREL_HOME", (home + "/tavrel").c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
