#pragma once
// Binary FBX files from Assimp's exporter, made readable by its importer, and their curves'
// interpolation set: the exporter writes no null record after a record's children (nor the
// empty one an object needs), which the importer requires, and writes every key straight.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tavrel::testing {

class FbxBinary {
public:
    // The exporter's file (version 7500: 64-bit record heads) with its lists closed; given a
    // pre-rotation (X, Y, Z degrees), every model turns by it before its own rotation.
    static std::string Closed(const std::string& in, const float* preRotation = nullptr) {
        std::string out = in.substr(0, kStart);
        size_t at = kStart;
        while (at + kHead <= in.size() && Word(in, at) != 0) at = Copy(in, at, 0, {}, preRotation, &out);
        out.append(kHead, '\0');
        return out + in.substr(std::min(in.size(), at + kHead));
    }

    // Every curve's keys given these interpolation flags (0x2 constant, 0x8 cubic); the count.
    static int SetFlags(std::string& bytes, int32_t flags) {
        return Patch(bytes, std::string("\x0cKeyAttrFlagsi\x01\0\0\0\0\0\0\0\x04\0\0\0", 26), &flags, 4);
    }
    // Every key's right and next left slopes (value units a second); the count of curves.
    static int SetSlopes(std::string& bytes, float right, float nextLeft) {
        const float slopes[2] = {right, nextLeft};
        return Patch(bytes, std::string("\x10KeyAttrDataFloatf\x04\0\0\0\0\0\0\0\x10\0\0\0", 30), slopes, 8);
    }

private:
    static constexpr size_t kStart = 27, kHead = 25;

    // Writes the data after every record that starts as `mark` (name and array head): the
    // exporter writes the flags and their data as one run of raw values.
    static int Patch(std::string& bytes, const std::string& mark, const void* data, size_t size) {
        int count = 0;
        for (size_t at = bytes.find(mark); at != std::string::npos; at = bytes.find(mark, at + 1), ++count)
            std::memcpy(&bytes[at + mark.size()], data, size);
        return count;
    }

    static uint64_t Word(const std::string& s, size_t at) {
        uint64_t v;
        std::memcpy(&v, s.data() + at, 8);
        return v;
    }
    static size_t Copy(const std::string& in, size_t at, int depth, std::string_view parent,
                       const float* preRotation, std::string* out) {
        const uint64_t end = Word(in, at), props = Word(in, at + 16);
        const size_t start = out->size(), body = at + kHead + uint8_t(in[at + 24]) + props;
        const std::string_view name = std::string_view(in).substr(at + kHead, uint8_t(in[at + 24]));
        out->append(in, at, body - at);
        size_t child = body;
        // Children, up to their null record if there is one.
        while (child + kHead <= end && Word(in, child) != 0) child = Copy(in, child, depth + 1, name, preRotation, out);
        if (preRotation && name == "Properties70" && parent == "Model") AddPreRotation(preRotation, out);
        if (out->size() != start + (body - at) || child < end || depth == 1) out->append(kHead, '\0');
        SetEnd(start, out);
        return end;
    }
    static void SetEnd(size_t start, std::string* out) {
        const uint64_t end = out->size();
        std::memcpy(&(*out)[start], &end, 8);
    }
    static void AddPreRotation(const float* degrees, std::string* out) {
        std::string props;
        for (const char* text : {"PreRotation", "Vector3D", "Vector", ""}) {
            const uint32_t size = uint32_t(std::strlen(text));
            props += 'S';
            props.append(reinterpret_cast<const char*>(&size), 4).append(text);
        }
        for (int a = 0; a < 3; ++a) {
            const double value = degrees[a];
            props += 'D';
            props.append(reinterpret_cast<const char*>(&value), 8);
        }
        const uint64_t head[3] = {0, 7, props.size()};
        const size_t start = out->size();
        out->append(reinterpret_cast<const char*>(head), 24).append("\x01P", 2).append(props);
        SetEnd(start, out);
    }
};

}  // namespace tavrel::testing
