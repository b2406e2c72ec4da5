// tavrel-cli edit: the motion editing operations, each writing new files only.
#include <charconv>
#include <filesystem>

#include "AnimRead/ErrObj.h"
#include "cli/Commands.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

struct EditRequest {
    std::string operation;
    std::vector<std::string> values;  // the operation's numbers and names
    std::string input;
    std::vector<std::string> outputs;
    bool absolute = false;
};

// How many values and outputs each operation takes.
struct Shape {
    const char* name;
    size_t values;
    size_t outputs;
};

constexpr Shape kShapes[] = {
    {"reverse", 0, 1}, {"resample", 1, 1}, {"split", 1, 2}, {"translate", 3, 1}, {"rotate", 5, 1},
};

bool ToFloat(const std::string& text, float* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end;
}

bool ToInt(const std::string& text, int* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end;
}

bool ParseRequest(const Args& args, EditRequest* request) {
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
        request->values.assign(rest.begin() + 1, rest.begin() + 1 + shape.values);
        request->input = rest[1 + shape.values];
        request->outputs.assign(rest.end() - shape.outputs, rest.end());
        return true;
    }
    return false;
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

// Runs the operation; false with a message when the motion refuses it.
bool Apply(CMotion& motion, const EditRequest& r, std::ostream& err) {
    const auto& v = r.values;
    const auto& out = r.outputs;
    float n[5] = {};
    int count = 0;
    if (r.operation == "reverse") {
        if (motion.GetLength() < 2) {
            err << "error: a motion of one frame cannot be reversed\n";
            return false;
        }
        return motion.SaveReversed(out[0]);
    }
    if (r.operation == "resample" || r.operation == "split") {
        if (!ToInt(v[0], &count)) {
            err << "error: " << v[0] << " is not a whole number\n";
            return false;
        }
        if (r.operation == "resample" && count < 2) {
            err << "error: a motion needs at least 2 frames to be resampled to\n";
            return false;
        }
        if (r.operation == "split" && (count < 1 || count >= motion.GetLength())) {
            err << "error: split frame must lie in 1.." << motion.GetLength() - 1 << '\n';
            return false;
        }
        return r.operation == "resample" ? motion.Resample(out[0], count)
                                         : motion.SaveSplit(count, out[0], out[1]);
    }
    const size_t first = r.operation == "rotate" ? 1 : 0;
    for (size_t i = first; i < v.size(); ++i) {
        if (!ToFloat(v[i], &n[i - first])) {
            err << "error: " << v[i] << " is not a number\n";
            return false;
        }
    }
    if (r.operation == "translate") {
        return motion.SaveTranslated(out[0], n[0], n[1], n[2], r.absolute);
    }
    if (!motion.RotatePart(v[0].c_str(), n[0], n[1], n[2], n[3], r.absolute)) {
        err << "error: no segment named " << v[0] << '\n';
        return false;
    }
    return motion.Save(out[0]);
}

}  // namespace

int RunEditCommand(const Args& args, std::ostream& out, std::ostream& err) {
    EditRequest request;
    if (!ParseRequest(args, &request)) {
        err << "tavrel-cli edit: wrong arguments (see tavrel-cli edit --help)\n";
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
    try {
        if (!Apply(motion, request, err)) return kExitFailed;
    } catch (const ERROBJ& e) {
        err << "error: writing failed: " << e.GetText() << '\n';
        for (const std::string& path : request.outputs) {
            std::error_code ignored;
            fs::remove(path, ignored);  // no half-written files left behind
        }
        return kExitFailed;
    }
    for (const std::string& path : request.outputs) out << "wrote " << path << '\n';
    return kExitOk;
}

}  // namespace tavrel::cli
