#pragma once
// A project file opened as the timeline opens it, in a working directory of the command's own
// that is removed when the object goes.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "motion/MotionManager.h"
#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"
#include "timeline/WorkingDirectory.h"

namespace tavrel::cli {

// Opening a project asks nothing; an edit that overlaps clips gets the answer set here (none:
// it is cancelled).
class NoDecisions : public CUserDecisions {
public:
    OverlapChoice AskOverlap(int, bool) override { return overlap; }
    std::optional<std::string> AskPasteName(int, const std::string&) override {
        return std::nullopt;
    }
    OverlapChoice overlap = OverlapChoice::kCancel;
};

// A timeline over a private temporary folder that lives as long as the object.
class OpenedProject {
public:
    OpenedProject() {
        std::string pattern =
            (std::filesystem::path(SystemTempPath()) / "tavrel-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data())) temp_ = pattern;
    }
    ~OpenedProject() {
        model_.reset();
        if (temp_.empty()) return;
        EmptyFolder(temp_);
        std::error_code error;
        std::filesystem::remove(temp_, error);
    }
    OpenedProject(const OpenedProject&) = delete;
    OpenedProject& operator=(const OpenedProject&) = delete;

    // The messages of opening the file; the model holds what could be read.
    std::vector<Message> Open(const std::string& path) {
        if (Message failure = MakeModel()) return {failure};
        return model_->OpenProject(path);
    }
    // A new, empty project instead; the message when there is no working directory.
    Message New() {
        if (Message failure = MakeModel()) return failure;
        model_->NewProject(CTimelineProject());
        return {};
    }
    const CTimelineModel& Model() const { return *model_; }
    CTimelineModel& EditModel() { return *model_; }
    NoDecisions& Decisions() { return decisions_; }
    CMotionManager& Manager() { return manager_; }
    CMotionManagerSide& Side() { return side_; }
    static StringLookup Lookup() { return CStringTable::BuiltIn().Lookup(); }

private:
    Message MakeModel() {
        Message failure;
        if (!temp_.empty()) {
            workingDirectory_ = CWorkingDirectory::Create(temp_, Lookup(), &failure);
        }
        if (!workingDirectory_) return failure ? failure : MakeMessage(strings::kNoTempPath);
        model_ = std::make_unique<CTimelineModel>(side_, decisions_, *workingDirectory_);
        return {};
    }

    std::string temp_;
    CMotionManager manager_;
    CMotionManagerSide side_{manager_};
    NoDecisions decisions_;
    std::optional<CWorkingDirectory> workingDirectory_;
    std::unique_ptr<CTimelineModel> model_;
};

// Opens the project, printing the first message when anything failed.
inline bool OpenOrReport(OpenedProject& project, const std::string& path, std::ostream& err) {
    const std::vector<Message> messages = project.Open(path);
    if (messages.empty()) return true;
    err << "error: " << path << ": " << messages.front().Text(OpenedProject::Lookup()) << '\n';
    return false;
}

}  // namespace tavrel::cli
