#include "AnimRead/SceneFileRead/SceneImport.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "AnimRead/SceneFileRead/SceneRecord.h"
#include "base/DebugOutput.h"
#include "base/HelperProcess.h"

// Sanitizers reserve terabytes of address space up front, which no address limit allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVREL_NO_ADDRESS_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAVREL_NO_ADDRESS_LIMIT 1
#endif
#endif

namespace tavrel {
namespace {

constexpr const char* kHelperName = "tavrel-import";
// The largest answer: the largest take's matrices and room for names.
constexpr size_t kMaxAnswer = size_t(SCENEFILEREAD::kMaxMatrices) * 64 + (size_t{16} << 20);

std::string RunHelperOn(const std::vector<std::string>& args, const std::string& path) {
    HelperLimits limits;
    limits.time = std::chrono::seconds(kImportSeconds);
    limits.outputBytes = kMaxAnswer;
    std::vector<std::string> argv{ProgramBesideThisOne(kHelperName)};
    argv.insert(argv.end(), args.begin(), args.end());
    HelperResult result = RunHelper(argv[0], argv, limits);
    using Ending = HelperResult::Ending;
    switch (result.ending) {
        case Ending::kExited:
            if (result.status == 0) return std::move(result.output);
            THROW_ERROBJ(ERR_CORRUPTED, "%s (it ended with code %d)", kImporterStopped,
                         result.status);
        case Ending::kSignalled:
            DebugPrintf("ImportSceneFile: %s: the helper ended on signal %d\n", path.c_str(),
                        result.status);
            THROW_ERROBJ(ERR_CORRUPTED, "%s (signal %d)", kImporterStopped, result.status);
        case Ending::kTimedOut:
            THROW_ERROBJ(ERR_CORRUPTED, "%s: it took longer than %d s", kImporterStopped,
                         kImportSeconds);
        case Ending::kTooMuchOutput:
            THROW_ERROBJ(ERR_CORRUPTED, "%s: its answer is too long", kImporterStopped);
        case Ending::kNotStarted:
            break;
    }
    THROW_ERROBJ(ERR_NOT_SUPPORTED, "the import helper %s cannot be started", argv[0].c_str());
}

// The helper limits itself before it reads anything: no core file, a bounded address space and
// processor time, and no life after the process that started it.
void LimitThisHelper() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    const rlimit seconds{kImportSeconds + 1, kImportSeconds + 2};
    setrlimit(RLIMIT_CPU, &seconds);
#ifndef TAVREL_NO_ADDRESS_LIMIT
    // The importer holds a whole file and its scene at once: a file of the largest size read
    // with the largest take's frames fits in this, a runaway does not.
    constexpr rlim_t kHelperAddressSpace = rlim_t{3} << 30;
    const rlimit space{kHelperAddressSpace, kHelperAddressSpace};
    setrlimit(RLIMIT_AS, &space);
#endif
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

// Writes the whole record; the process then ends at once, leaving the importer's memory to the
// system (its leaks on a damaged file are not ours to report).
[[noreturn]] void Answer(const std::string& record) {
    size_t at = 0;
    while (at < record.size()) {
        const ssize_t n = ::write(1, record.data() + at, record.size() - at);
        if (n <= 0) ::_exit(3);
        at += static_cast<size_t>(n);
    }
    ::_exit(0);
}

}  // namespace

std::vector<SCENEFILEREAD::TAKE> ImportSceneTakes(const std::string& path) {
    return SCENERECORD::ReadTakes(RunHelperOn({"takes", path}, path));
}

std::unique_ptr<SCENEFILEREAD> ImportSceneFile(const std::string& path, const std::string& take) {
    if (path.size() >= ANIMFILE::kPathSize) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    return SCENERECORD::ReadMotion(RunHelperOn({"read", path, take}, path), path.c_str());
}

int RunImportHelper(int argc, char** argv, SCENEFILEREAD::SkeletonScore score) {
    const bool takes = argc == 3 && std::strcmp(argv[1], "takes") == 0;
    const bool read = (argc == 3 || argc == 4) && std::strcmp(argv[1], "read") == 0;
    if (!takes && !read) {
        std::fprintf(stderr, "usage: %s takes FILE | read FILE [TAKE]\n", argv[0]);
        return 2;
    }
    LimitThisHelper();
    try {
        if (takes) Answer(SCENERECORD::OfTakes(SCENEFILEREAD::ListTakes(argv[2])));
        const SCENEFILEREAD motion(argv[2], argc == 4 ? argv[3] : "", score);
        Answer(SCENERECORD::OfMotion(motion));
    } catch (const ERROBJ& error) {
        Answer(SCENERECORD::OfError(error));
    } catch (const std::bad_alloc&) {
        Answer(SCENERECORD::OfError(ERROBJ(ERR_MEMORY, __FILE__, __LINE__)));
    } catch (...) {
        Answer(SCENERECORD::OfError(
            ERROBJ(ERR_CORRUPTED, __FILE__, __LINE__, "%s", kImporterStopped)));
    }
}

}  // namespace tavrel
