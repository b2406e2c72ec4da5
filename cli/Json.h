#pragma once
// A minimal JSON writer for the command-line tool's machine-readable output.
#include <ostream>
#include <string_view>

namespace tavrel::cli {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view text);
    JsonWriter& Number(double value);
    JsonWriter& Int(long long value);
    JsonWriter& Null();
    // Ends the document with a line break.
    void Finish() { out_ << '\n'; }

private:
    void Separate();

    std::ostream& out_;
    bool needComma_ = false;
};

}  // namespace tavrel::cli
