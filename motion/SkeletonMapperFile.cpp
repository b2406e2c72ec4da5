// The mapping file: "source = segment" lines that name the joints matching gets wrong.
#include <algorithm>
#include <fstream>

#include "motion/SkeletonMapper.h"

namespace tavrel {

bool CSkeletonMapper::ReadOverrides(const std::string& path, Overrides* overrides,
                                    std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot be opened";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#' || line[start] == ';' ||
            line[start] == '[')
            continue;
        const size_t equals = line.find('=');
        auto trim = [](std::string s) {
            const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
            return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
        };
        const std::string joint = equals == std::string::npos ? "" : trim(line.substr(0, equals));
        const std::string segment =
            equals == std::string::npos ? "" : trim(line.substr(equals + 1));
        const bool known = segment == "-" ||
                           std::any_of(std::begin(kStandardSkeleton), std::end(kStandardSkeleton),
                                       [&](const StandardSegment& s) { return segment == s.name; });
        if (joint.empty() || !known) {
            *error = "line " + std::to_string(number) +
                     ": expected JOINT = SEGMENT (a standard segment or -)";
            return false;
        }
        (*overrides)[joint] = segment;
    }
    return true;
}

}  // namespace tavrel
