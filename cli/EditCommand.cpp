// tavrel-cli edit: the motion editing operations, each writing new files only.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "AnimRead/ErrObj.h"
#include "base/FileReplacer.h"
#include "cli/Commands.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"
#include "motion/RepeatCycle.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

struct EditRequest {
    std::string operation;
    std::vector<std::string> values;  // the operation's numbers and names
    std::string input;
    std::vector<std::string> outputs;
    bool absolute = false;
    int count = 0;          // resample, split, repeat
    SpeedCurve speed = kSpeedConstant;  // ease
    float numbers[4] = {};  // translate: x y z; rotate: w x y z
};

// How many values and outputs each operation takes.
struct Shape {
    const char* name;
    size_t values;
    size_t outputs;
    bool valuesLast = false;  // IN OUT N rather than N IN OUT
};

constexpr Shape kShapes[] = {
    {"reverse", 0, 1}, {"resample", 1, 1}, {"split", 1, 2},        {"translate", 3, 1},
    {"rotate", 5, 1},  {"mirror", 0, 1},   {"repeat", 1, 1, true}, {"ease", 1, 1, true},
};

// A finite number: NaN or infinity would end up in every frame written.
bool ToFloat(const std::string& text, float* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end && std::isfinite(*value);
}

bool ToInt(const std::string& text, int* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end;
}

bool SplitArguments(const Args& args, EditRequest* request) {
    Args rest;
    for (const std::string& a : args) {
        if (a == "--absolute") {
            request->absolute = true;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.empty()) return false;
    request->operation = rest[0];
    for (const Shape& shape : kShapes) {
        if (request->operation != shape.name) continue;
        if (rest.size() != 1 + shape.values + 1 + shape.outputs) return false;
        const auto values = shape.valuesLast ? rest.end() - shape.values : rest.begin() + 1;
        request->values.assign(values, values + shape.values);
        const auto input = shape.valuesLast ? rest.begin() + 1 : values + shape.values;
        request->input = *input;
        request->outputs.assign(input + 1, input + 1 + shape.outputs);
        return true;
    }
    return false;
}

// The operation's numbers; an empty result means they are fine, otherwise it says what is wrong.
std::string ParseValues(EditRequest* r) {
    const auto& v = r->values;
    if (r->operation == "resample" || r->operation == "split") {
        if (!ToInt(v[0], &r->count)) return v[0] + " is not a whole number";
        if (r->operation == "resample" && r->count < 2) return "resample needs N >= 2";
        return {};
    }
    if (r->operation == "repeat") {
        if (!ToInt(v[0], &r->count) || r->count < RepeatLimits::kFewest ||
            r->count > RepeatLimits::kMost) {
            return "repeat needs N from " + std::to_string(RepeatLimits::kFewest) + " to " +
                   std::to_string(RepeatLimits::kMost);
        }
        return {};
    }
    if (r->operation == "ease") {
        const auto speed = SpeedCurveNamed(v[0]);
        if (!speed || *speed == kSpeedConstant) return "ease takes in, out or both";
        r->speed = *speed;
        return {};
    }
    const size_t first = r->operation == "rotate" ? 1 : 0;
    for (size_t i = first; i < v.size(); ++i) {
        if (!ToFloat(v[i], &r->numbers[i - first])) return v[i] + " is not a finite number";
    }
    if (r->operation == "rotate") {
        const float* q = r->numbers;
        if (q[0] == 0 && q[1] == 0 && q[2] == 0 && q[3] == 0) {
            return "the quaternion 0 0 0 0 is no rotation";
        }
        // Squares that overflow make a quaternion no rotation can be built from either.
        if (!std::isfinite(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3])) {
            return "the quaternion is too large";
        }
    }
    return {};
}

// Outputs must be new motion files the motion can be saved as, none of them the input.
bool CheckOutputs(const EditRequest& r, std::ostream& err) {
    for (const std::string& out : r.outputs) {
        const int type = MotionFileTypeOf(out);
        if (type != kTypeCHA && type != kTypeCHB) {
            err << "error: " << out << ": can only write .cha or .chb files\n";
            return false;
        }
        std::error_code error;
        if (fs::exists(out, error)) {
            err << "error: " << out << ": exists already; edit writes new files only\n";
            return false;
        }
    }
    if (r.outputs.size() == 2 && r.outputs[0] == r.outputs[1]) {
        err << "error: the two outputs must differ\n";
        return false;
    }
    return true;
}

// The outputs are written under temporary names beside them and take their own names only
// when every one was written: a failure leaves nothing behind, not even half a split.
class Outputs {
public:
    explicit Outputs(const std::vector<std::string>& targets) : targets_(targets) {}

    const std::vector<std::string>& Temporaries() const { return temporaries_; }
    // A temporary's path as the user knows it: its target's name.
    std::string Name(const std::string& path) const {
        for (size_t i = 0; i < temporaries_.size(); ++i) {
            if (path == temporaries_[i]) return targets_[i];
        }
        return path;
    }

    // Makes each temporary file, so that an output that cannot be created is named at once,
    // with the system's reason.
    bool Create(std::ostream& err) {
        for (const std::string& target : targets_) {
            errno = 0;
            files_.push_back(std::make_unique<FileReplacer::Pending>(target));
            if (!files_.back()->IsOpen()) {
                err << "error: " << target << ": cannot be created: "
                    << std::strerror(errno ? errno : EIO) << '\n';
                return false;
            }
            temporaries_.push_back(files_.back()->TempPath());
        }
        return true;
    }

    // Gives every temporary its target's name, flushed to the disk; on a failure takes back
    // the ones given.
    bool Commit(std::ostream& err) {
        for (size_t i = 0; i < files_.size(); ++i) {
            errno = 0;
            if (files_[i]->Commit()) continue;
            err << "error: " << targets_[i]
                << ": cannot be written: " << std::strerror(errno ? errno : EIO) << '\n';
            std::error_code ignored;
            for (size_t k = 0; k < i; ++k) fs::remove(targets_[k], ignored);
            return false;
        }
        return true;
    }

private:
    std::vector<std::string> targets_;
    std::vector<std::string> temporaries_;
    std::vector<std::unique_ptr<FileReplacer::Pending>> files_;
};

// Runs the operation into the given files; false with a message when the motion refuses it.
bool Apply(CMotion& motion, const EditRequest& r, const std::vector<std::string>& out,
           std::ostream& err) {
    const float* n = r.numbers;
    if (r.operation == "reverse") {
        if (motion.GetLength() < 2) {
            err << "error: a motion of one frame cannot be reversed\n";
            return false;
        }
        return motion.SaveReversed(out[0]);
    }
    if (r.operation == "mirror") {
        std::string problem;
        if (motion.SaveMirrored(out[0], &problem)) return true;
        if (!problem.empty())
            err << "error: " << r.input << " cannot be mirrored: " << problem << '\n';
        return false;
    }
    if (r.operation == "repeat") {
        if (motion.GetLength() < 2) {
            err << "error: a motion of one frame cannot be repeated\n";
            return false;
        }
        return motion.SaveRepeated(out[0], r.count);
    }
    if (r.operation == "resample") return motion.Resample(out[0], r.count);
    if (r.operation == "ease") {
        if (motion.GetLength() < 2) {
            err << "error: a motion of one frame has no speed to ease\n";
            return false;
        }
        return motion.Resample(out[0], motion.GetLength(), r.speed);
    }
    if (r.operation == "split") {
        if (r.count < 1 || r.count >= motion.GetLength()) {
            err << "error: split frame must lie in 1.." << motion.GetLength() - 1 << '\n';
            return false;
        }
        return motion.SaveSplit(r.count, out[0], out[1]);
    }
    if (r.operation == "translate")
        return motion.SaveTranslated(out[0], n[0], n[1], n[2], r.absolute);
    const std::string& segment = r.values[0];
    if (motion.GetData()->FindSegment(segment.c_str()) < 0) {
        err << "error: no segment named " << segment << '\n';
        return false;
    }
    if (!motion.RotatePart(segment.c_str(), n[0], n[1], n[2], n[3], r.absolute)) {
        if (motion.GetReadError().empty()) {
            err << "error: the quaternion added to " << segment
                << "'s rotation leaves no rotation in some frame\n";
        }
        return false;
    }
    return motion.Save(out[0]);
}

// What went wrong when an operation refused without saying why itself.
void ExplainFailure(const CMotion& motion, const EditRequest& r, std::ostream& err) {
    if (!motion.GetReadError().empty()) {
        err << "error: cannot read the frames: " << motion.GetReadError() << '\n';
    } else {
        err << "error: " << r.operation << " failed; nothing was written\n";
    }
}

}  // namespace

int RunEditCommand(const Args& args, std::ostream& out, std::ostream& err) {
    EditRequest request;
    if (!SplitArguments(args, &request)) {
        err << "tavrel-cli edit: wrong arguments (see tavrel-cli edit --help)\n";
        return kExitUsage;
    }
    if (const std::string problem = ParseValues(&request); !problem.empty()) {
        err << "tavrel-cli edit: " << problem << " (see tavrel-cli edit --help)\n";
        return kExitUsage;
    }
    if (!CheckOutputs(request, err)) return kExitFailed;
    CMotion motion(request.input, 0);
    if (!motion.HasData()) {
        err << "error: " << request.input << ": cannot be read as a motion file"
            << " (tavrel-cli info tells why)\n";
        return kExitFailed;
    }
    if (!motion.HasStandardSkeleton()) {
        err << "error: " << request.input
            << ": the motion does not use the standard skeleton; edits need it\n";
        return kExitFailed;
    }
    Outputs outputs(request.outputs);
    if (!outputs.Create(err)) return kExitFailed;
    std::ostringstream refusal;
    try {
        if (!Apply(motion, request, outputs.Temporaries(), refusal)) {
            if (refusal.str().empty()) ExplainFailure(motion, request, refusal);
            err << refusal.str();
            return kExitFailed;
        }
    } catch (const ERROBJ& e) {
        err << "error: writing failed: code " << e.code << ": " << e.GetText();
        if (e.detail[0]) err << ": " << outputs.Name(e.detail);
        err << '\n';
        return kExitFailed;
    }
    if (!outputs.Commit(err)) return kExitFailed;
    for (const std::string& path : request.outputs) out << "wrote " << path << '\n';
    return kExitOk;
}

}  // namespace tavrel::cli
