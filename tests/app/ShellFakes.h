#pragma once
// Recording stand-ins for the windows behind the colleagues' seams.
#include <string>
#include <vector>

#include "app/ColleagueSeams.h"

namespace tavrel::testing {

struct CallLog {
    std::vector<std::string> calls;
    void Add(const std::string& call) { calls.push_back(call); }
    std::string Joined() const {
        std::string all;
        for (const std::string& c : calls) all += (all.empty() ? "" : ",") + c;
        return all;
    }
};

// Writes each call into the shared log and reports it carried out.
class Logging {
public:
    explicit Logging(CallLog& log) : log_(log) {}

protected:
    bool Log(const std::string& call) {
        log_.Add(call);
        return true;
    }

private:
    CallLog& log_;
};

class FakeTimeline : public CTimelineOperations, Logging {
public:
    using Logging::Logging;
    bool Undo() override { return Log("timeline.undo"); }
    bool Redo() override { return Log("timeline.redo"); }
    bool Copy() override { return Log("timeline.copy") && copyWorks; }
    bool Paste() override { return Log("timeline.paste"); }
    bool Delete() override { return Log("timeline.delete"); }
    bool CanUndo() const override { return available; }
    bool CanRedo() const override { return available; }
    bool CanCopy() const override { return available; }
    bool CanPaste() const override { return available; }
    bool CanDelete() const override { return available; }
    bool IsBusy() const override { return busy; }
    bool NewProject() override { return Log("timeline.new") && newWorks; }
    bool OpenProject(const std::string& path) override {
        opened.push_back(path);
        return Log("timeline.open");
    }
    bool WindUp() override { return Log("timeline.windup") && mayClose; }
    bool CloseProject() override { return Log("timeline.close"); }
    bool Command(int id) override { return Log("timeline." + std::to_string(id)); }
    void RefreshFrame() override { Log("timeline.refresh"); }
    const tavrel::CTimelineProject* Project() const override { return nullptr; }

    bool copyWorks = true;
    bool newWorks = true;
    bool available = true;
    bool busy = false;
    bool mayClose = true;
    std::vector<std::string> opened;
};

class FakeGallery : public CGalleryOperations, Logging {
public:
    using Logging::Logging;
    bool Copy() override { return Log("gallery.copy"); }
    bool Cut() override { return Log("gallery.cut"); }
    bool Paste() override { return Log("gallery.paste"); }
    bool Delete() override { return Log("gallery.delete"); }
    bool CanCopy() const override { return true; }
    bool CanCut() const override { return true; }
    bool CanPaste() const override { return true; }
    bool CanDelete() const override { return true; }
    bool Command(int id) override { return Log("gallery." + std::to_string(id)); }
    void Refresh() override { Log("gallery.refresh"); }
    void Shutdown() override { Log("gallery.shutdown"); }
    void RebuildDisplay() override { Log("gallery.rebuild"); }
};

class FakeTools : public C3DWindowTools, Logging {
public:
    using Logging::Logging;
    bool Undo() override { return Log("3d.undo"); }
    bool Redo() override { return Log("3d.redo"); }
    bool CanUndo() const override { return true; }
    bool CanRedo() const override { return true; }
    void Zoom(float amount) override { zooms.push_back(amount); }
    void EmptyMotionCache() override { Log("3d.emptycache"); }
    std::vector<float> zooms;
};

}  // namespace tavrel::testing
