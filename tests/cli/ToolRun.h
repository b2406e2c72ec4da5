#pragma once
// Runs tavrel-cli in-process and keeps what it printed.
#include <sstream>
#include <string>

#include "cli/Commands.h"

namespace tavrel::cli::testing {

struct Result {
    int code;
    std::string out, err;
};

inline Result Tool(Args args) {
    args.insert(args.begin(), "tavrel-cli");
    std::ostringstream out, err;
    const int code = RunTool(args, out, err);
    return {code, out.str(), err.str()};
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace tavrel::cli::testing
