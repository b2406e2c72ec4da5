#include "cli/Json.h"

#include <cmath>
#include <cstdio>

namespace tavrel::cli {

void JsonWriter::Separate() {
    if (needComma_) out_ << ',';
    needComma_ = true;
}

JsonWriter& JsonWriter::BeginObject() {
    Separate();
    out_ << '{';
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    out_ << '}';
    needComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Separate();
    out_ << '[';
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    out_ << ']';
    needComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    String(key);
    out_ << ':';
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    Separate();
    out_ << '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out_ << "\\\"";
                break;
            case '\\':
                out_ << "\\\\";
                break;
            case '\n':
                out_ << "\\n";
                break;
            case '\t':
                out_ << "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out_ << escaped;
                } else {
                    out_ << c;
                }
        }
    }
    out_ << '"';
    return *this;
}

JsonWriter& JsonWriter::Number(double value) {
    if (!std::isfinite(value)) return Null();  // JSON has no inf or nan
    Separate();
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    out_ << text;
    return *this;
}

JsonWriter& JsonWriter::Int(long long value) {
    Separate();
    out_ << value;
    return *this;
}

JsonWriter& JsonWriter::Null() {
    Separate();
    out_ << "null";
    return *this;
}

}  // namespace tavrel::cli
