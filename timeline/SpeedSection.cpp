#include "timeline/SpeedSection.h"

#include <charconv>

namespace tavrel {
namespace {

std::optional<int> Whole(const std::string& text) {
    int value = 0;
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::vector<std::string>> FieldsOf(const std::optional<std::string>& line,
                                                 size_t count) {
    if (!line) return std::nullopt;
    std::string text = *line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::vector<std::string> fields = SplitAtCommas(text);
    if (fields.size() != count) return std::nullopt;
    return fields;
}

}  // namespace

std::string CSpeedSection::Text(const std::vector<SpeedCurve>& curves) {
    std::string lines;
    int count = 0;
    for (size_t i = 0; i < curves.size(); ++i) {
        if (curves[i] == kSpeedConstant) continue;
        lines += "C," + std::to_string(i) + "," + std::string(SpeedCurveName(curves[i])) + "\n";
        ++count;
    }
    if (count == 0) return {};
    return std::string(kTag) + "," + std::to_string(count) + "\n" + lines;
}

std::optional<std::vector<CSpeedSection::ClipCurve>> CSpeedSection::Parse(
    const CLayerSection::LineSource& nextLine, int clipLines, std::string* reason) {
    const auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        return std::nullopt;
    };
    const auto head = FieldsOf(nextLine(), 2);
    const auto count = head ? Whole((*head)[1]) : std::nullopt;
    if (!head || (*head)[0] != kTag || !count || *count < 0 || *count > clipLines)
        return fail("no speed section header");
    std::vector<ClipCurve> curves;
    std::vector<bool> named(size_t(clipLines), false);
    for (int i = 0; i < *count; ++i) {
        const auto f = FieldsOf(nextLine(), 3);
        if (!f || (*f)[0] != "C") return fail("a bad speed line");
        const auto line = Whole((*f)[1]);
        const auto curve = SpeedCurveNamed((*f)[2]);
        if (!line || *line < 0 || *line >= clipLines) return fail("a speed names no clip");
        if (!curve) return fail("an unknown speed curve: " + (*f)[2].substr(0, 20));
        if (named[size_t(*line)]) return fail("two speeds for one clip");
        named[size_t(*line)] = true;
        curves.emplace_back(*line, *curve);
    }
    return curves;
}

}  // namespace tavrel
