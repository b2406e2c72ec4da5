// Project files, read against one working directory and motion side made for the whole run; the
// working directory is emptied after each input.
#include <filesystem>

#include "motion/MotionManager.h"
#include "settings/StringTable.h"
#include "tests/fuzz/FuzzSupport.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/ProjectFileReader.h"

namespace tavrel::fuzz {
namespace {

struct Session {
    Session() {
        std::filesystem::create_directories(Scratch() + "/proj/sub");
        std::filesystem::create_directories(Scratch() + "/work");
        WriteInput(std::string("frames 30\n"), "proj/walk.cha");
        WriteInput(std::string("frames 20\n"), "proj/sub/run.chb");
        WriteInput(std::string("BM"), "proj/still.bmp");
        WriteInput(std::string("RIFF"), "proj/tune.wav");
        wd = CWorkingDirectory::Create(Scratch() + "/work", CStringTable::BuiltIn().Lookup(),
                                       nullptr);
        if (!wd) Fail("cannot make the working directory");
    }
    CMotionManager manager;
    CMotionManagerSide side{manager};
    std::optional<CWorkingDirectory> wd;
};

}  // namespace

std::vector<std::string> Seeds() {
    return {};
}

}  // namespace tavrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel;
    static fuzz::Session session;
    const std::string path = fuzz::WriteInput(data, size, "proj/p.tvp");
    CProjectFileReader(*session.wd, session.side).Read(path);
    session.wd->Empty();
    return 0;
}
