#include "AnimRead/SceneFileRead/FbxFile.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

namespace tavrel {
namespace {

constexpr std::string_view kMagic{"Kaydara FBX Binary  \0\x1a\0", 23};
// Records nest no deeper in any file a tool writes; deeper ones are refused rather than recursed.
constexpr int kMaxDepth = 32;
constexpr size_t kMaxRecords = size_t{1} << 20;
constexpr size_t kMaxArrayBytes = size_t{256} << 20;
// No key or number of a text file is longer; strings may be (embedded media).
constexpr size_t kMaxWord = 256;
constexpr int32_t kConstantKey = 0x2, kCubicKey = 0x8;
constexpr double kTicksPerSecond = 46186158000.0;

// A property: its type code and where its bytes start (after the code) and end.
struct PROP {
    char type;
    size_t at, end;
};

struct RECORD {
    std::string_view name;
    std::vector<PROP> props;
    std::vector<RECORD> children;

    const RECORD* Child(std::string_view of) const {
        for (const RECORD& child : children) {
            if (child.name == of) return &child;
        }
        return nullptr;
    }
};

// Only the records the keys' interpolation needs are kept; the rest are skipped by their end.
bool Kept(int depth, std::string_view parent, std::string_view name) {
    if (depth == 0) return name == "Objects" || name == "Connections";
    if (parent != "Objects") return true;
    return name == "Model" || name == "AnimationCurve" || name == "AnimationCurveNode" ||
           name == "AnimationLayer" || name == "AnimationStack";
}

// The text format read into the records the binary one gives: each value is stored in `data` as
// the binary format stores it (integers 'L', reals 'D', strings 'S', arrays 'l' of integers or
// 'd' of reals, unpacked) and an object's "Class::Name" as the binary "Name\0\1Class".
class TEXT {
public:
    TEXT(std::string_view text, std::string* data) : text_(text), data_(data) {}

    bool Read(std::vector<RECORD>* top) { return ReadList(0, {}, top); }

private:
    struct TOKEN {
        char kind;  // 'w' a word, 's' a string, a mark of ":,{}*", 0 the end, '!' unreadable
        std::string_view text;
        size_t end;
    };

    TOKEN Peek(size_t at) const {
        while (at < text_.size()) {
            const char c = text_[at];
            if (c == ';') {
                at = std::min(text_.size(), text_.find('\n', at));
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++at;
            } else {
                break;
            }
        }
        if (at == text_.size()) return {0, {}, at};
        const char c = text_[at];
        if (std::string_view(":,{}*").find(c) != std::string_view::npos) return {c, text_.substr(at, 1), at + 1};
        if (c == '"') {
            const size_t close = text_.find('"', at + 1);
            if (close == std::string_view::npos) return {'!', {}, at};
            return {'s', text_.substr(at + 1, close - at - 1), close + 1};
        }
        size_t end = at;
        while (end < text_.size() && end - at <= kMaxWord &&
               std::string_view(" \t\r\n;:,{}*\"").find(text_[end]) == std::string_view::npos)
            ++end;
        if (end - at > kMaxWord) return {'!', {}, at};
        return {'w', text_.substr(at, end - at), end};
    }
    TOKEN Next() {
        const TOKEN t = Peek(at_);
        at_ = t.end;
        return t;
    }
    bool Take(char kind) { return Next().kind == kind; }
    // A word followed by a colon starts the next record rather than being a value.
    bool IsKey(const TOKEN& t) const { return t.kind == 'w' && Peek(t.end).kind == ':'; }
    bool EndsValues(const TOKEN& t) const { return t.kind == 0 || t.kind == '{' || t.kind == '}' || IsKey(t); }

    // Records until the end of the file (depth 0) or of their block; those not kept are read
    // and dropped.
    bool ReadList(int depth, std::string_view parent, std::vector<RECORD>* out) {
        if (depth > kMaxDepth) return false;
        for (;;) {
            const TOKEN t = Next();
            if (t.kind == 0 || t.kind == '}') return (t.kind == 0) == (depth == 0);
            if (!IsKey(t) || !Take(':') || ++records_ > kMaxRecords) return false;
            const bool kept = out && Kept(depth, parent, t.text);
            RECORD* record = kept ? &out->emplace_back() : nullptr;
            if (record) record->name = t.text;
            const bool object = depth == 1 && parent == "Objects";
            for (size_t i = 0; !EndsValues(Peek(at_)); ++i) {
                if ((i > 0 && !Take(',')) || !ReadValue(record, object && i == 1)) return false;
            }
            if (Peek(at_).kind == '{') {
                Next();
                if (!ReadList(depth + 1, t.text, record ? &record->children : nullptr)) return false;
            }
        }
    }

    bool ReadValue(RECORD* record, bool objectName) {
        const TOKEN t = Next();
        if (t.kind == '*') return ReadArray(record);
        if (t.kind != 's' && t.kind != 'w') return false;
        if (!record) return true;
        const size_t at = data_->size() + 1;
        if (t.kind == 's' || !(Put<int64_t>(t.text, 'L') || Put<double>(t.text, 'D'))) {
            const size_t split = objectName ? t.text.find("::") : std::string_view::npos;
            std::string text(t.text);
            if (split != std::string_view::npos)
                text = std::string(t.text.substr(split + 2)) + std::string("\0\1", 2) + std::string(t.text.substr(0, split));
            const uint32_t size = uint32_t(text.size());
            data_->push_back('S');
            data_->append(reinterpret_cast<const char*>(&size), 4).append(text);
        }
        record->props.push_back({(*data_)[at - 1], at, data_->size()});
        return true;
    }

    // "*N { a: v,v,... }": N numbers, stored as 64-bit integers while all are whole.
    bool ReadArray(RECORD* record) {
        const TOKEN count = Next();
        uint64_t n = 0;
        if (count.kind != 'w' || !Parse(count.text, &n) || n > kMaxArrayBytes / 8 || !Take('{')) return false;
        const TOKEN a = Next();
        if (a.kind != 'w' || a.text != "a" || !Take(':')) return false;
        const size_t at = data_->size() + 1, first = at + 12;
        const uint32_t head[3] = {uint32_t(n), 0, uint32_t(n * 8)};
        data_->push_back('l');
        data_->append(reinterpret_cast<const char*>(head), sizeof head);
        for (size_t i = 0; Peek(at_).kind != '}'; ++i) {
            if (i >= n || (i > 0 && !Take(','))) return false;
            const TOKEN v = Next();
            int64_t whole = 0;
            double real = 0;
            if (v.kind != 'w' || !Parse(v.text, &real)) return false;
            if ((*data_)[at - 1] == 'l' && !Parse(v.text, &whole)) MakeReal(first);
            if ((*data_)[at - 1] == 'l') {
                data_->append(reinterpret_cast<const char*>(&whole), 8);
            } else {
                data_->append(reinterpret_cast<const char*>(&real), 8);
            }
        }
        if (!Take('}')) return false;
        if (record && data_->size() == first + n * 8) {
            record->props.push_back({(*data_)[at - 1], at, data_->size()});
            return true;
        }
        data_->resize(at - 1);
        return !record;
    }
    // The integers read so far from `first` on, as reals.
    void MakeReal(size_t first) {
        (*data_)[first - 13] = 'd';
        for (size_t i = first; i < data_->size(); i += 8) {
            int64_t whole;
            std::memcpy(&whole, data_->data() + i, 8);
            const double real = double(whole);
            std::memcpy(data_->data() + i, &real, 8);
        }
    }

    template <typename T>
    static bool Parse(std::string_view text, T* value) {
        if (text.starts_with('+') && !text.starts_with("+-")) text.remove_prefix(1);  // "+1e5" as some tools write
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, *value);
        return error == std::errc() && stop == end;
    }
    template <typename T>
    bool Put(std::string_view text, char type) {
        T value{};
        if (!Parse(text, &value)) return false;
        data_->push_back(type);
        data_->append(reinterpret_cast<const char*>(&value), sizeof value);
        return true;
    }

    std::string_view text_;
    std::string* data_;
    size_t at_ = 0, records_ = 0;
};

class READER {
public:
    explicit READER(std::string data) : data_(std::move(data)) {}

    // The file's kept top records; false when it is no FBX or is damaged.
    bool Read(std::vector<RECORD>* top) {
        if (data_.size() < kMagic.size() + 4 || data_.compare(0, kMagic.size(), kMagic) != 0) {
            text_ = std::move(data_);
            data_.clear();
            return TEXT(text_, &data_).Read(top);
        }
        wide_ = Word(kMagic.size(), 4) >= 7500;
        return ReadList(kMagic.size() + 4, data_.size(), 0, {}, top);
    }

    int64_t Int(const PROP& p) const {
        switch (p.type) {
            case 'L': return int64_t(Word(p.at, 8));
            case 'I': return int32_t(Word(p.at, 4));
            default: return 0;
        }
    }
    std::string_view Text(const PROP& p) const {
        if (p.type != 'S' && p.type != 'R') return {};
        return std::string_view(data_).substr(p.at + 4, p.end - p.at - 4);
    }
    // An array property of elements of T (type code `type`), unpacked; false when it is not one.
    template <typename T>
    bool Array(const PROP& p, char type, std::vector<T>* out) const {
        if (p.type != type) return !text_.empty() && Convert(p, out);
        const uint64_t count = Word(p.at, 4), encoding = Word(p.at + 4, 4), packed = Word(p.at + 8, 4);
        // zlib packs at most about 1032 to 1: a larger claim is refused before any room is made.
        if (count > kMaxArrayBytes / sizeof(T) || count * sizeof(T) > packed * 1032 + 64) return false;
        out->resize(count);
        uLongf bytes = uLongf(count * sizeof(T));
        const auto* from = reinterpret_cast<const Bytef*>(data_.data() + p.at + 12);
        if (encoding == 0) {
            if (packed != bytes) return false;
            if (bytes > 0) std::memcpy(out->data(), from, bytes);
            return true;
        }
        const uLongf expected = bytes;
        auto* to = reinterpret_cast<Bytef*>(out->data());
        return encoding == 1 && uncompress(to, &bytes, from, uLong(packed)) == Z_OK && bytes == expected;
    }

private:
    // A text file's array holds 64-bit numbers whatever the record: they are taken as T when
    // they fit it.
    template <typename T>
    bool Convert(const PROP& p, std::vector<T>* out) const {
        if (p.type != 'l' && p.type != 'd') return false;
        const size_t count = Word(p.at, 4);
        out->resize(count);
        for (size_t i = 0; i < count; ++i) {
            const uint64_t bits = Word(p.at + 12 + 8 * i, 8);
            if constexpr (std::is_floating_point_v<T>) {
                double real;
                std::memcpy(&real, &bits, 8);
                if (p.type == 'l') real = double(int64_t(bits));
                // Beyond T's range it is no number (the curve is refused), rather than undefined.
                (*out)[i] = std::abs(real) <= std::numeric_limits<T>::max() ? T(real)
                                                                            : std::numeric_limits<T>::quiet_NaN();
            } else {
                if (p.type != 'l' || int64_t(bits) < std::numeric_limits<T>::min() ||
                    int64_t(bits) > std::numeric_limits<T>::max())
                    return false;
                (*out)[i] = T(int64_t(bits));
            }
        }
        return true;
    }

    uint64_t Word(size_t at, size_t size) const {
        uint64_t value = 0;
        for (size_t i = size; i-- > 0;) value = value << 8 | uint8_t(data_[at + i]);
        return value;
    }

    // Records from `at` to `end` until a null record; nodes not kept are skipped.
    bool ReadList(size_t at, size_t end, int depth, std::string_view parent, std::vector<RECORD>* out) {
        if (depth > kMaxDepth) return false;
        const size_t head = wide_ ? 25 : 13;
        while (end - at >= head) {
            const size_t size = wide_ ? 8 : 4;
            const uint64_t recordEnd = Word(at, size), count = Word(at + size, size),
                           length = Word(at + 2 * size, size);
            const size_t nameLength = uint8_t(data_[at + 3 * size]);
            if (recordEnd == 0 && count == 0 && length == 0 && nameLength == 0) return true;
            const size_t props = at + head + nameLength;
            if (recordEnd > end || recordEnd < props || length > recordEnd - props) return false;
            const std::string_view name = std::string_view(data_).substr(at + head, nameLength);
            if (Kept(depth, parent, name)) {
                if (++records_ > kMaxRecords) return false;
                RECORD& record = out->emplace_back();
                record.name = name;
                if (!ReadProps(props, props + length, count, &record.props) ||
                    !ReadList(props + length, recordEnd, depth + 1, name, &record.children))
                    return false;
            }
            at = recordEnd;
        }
        return true;
    }

    bool ReadProps(size_t at, size_t end, uint64_t count, std::vector<PROP>* out) const {
        for (uint64_t i = 0; i < count; ++i) {
            if (at >= end) return false;
            const char type = data_[at++];
            uint64_t size = 0;
            switch (type) {
                case 'C': size = 1; break;
                case 'Y': size = 2; break;
                case 'I': case 'F': size = 4; break;
                case 'D': case 'L': size = 8; break;
                case 'S': case 'R':
                    if (end - at < 4) return false;
                    size = 4 + Word(at, 4);
                    break;
                case 'f': case 'd': case 'l': case 'i': case 'b':
                    if (end - at < 12) return false;
                    size = 12 + Word(at + 8, 4);
                    break;
                default: return false;
            }
            if (size > end - at) return false;
            out->push_back({type, at, at + size_t(size)});
            at += size_t(size);
        }
        return true;
    }

    std::string data_, text_;  // the file, or for a text file the values read from it
    bool wide_ = false;  // 64-bit record heads, from version 7500
    size_t records_ = 0;
};

// "Name\0\1Class" names an object; the name is what comes before.
std::string_view ObjectName(const READER& reader, const RECORD& record) {
    if (record.props.size() < 2) return {};
    const std::string_view text = reader.Text(record.props[1]);
    return text.substr(0, text.find(std::string_view("\0\1", 2)));
}

// A curve's keys with the interpolation flags and slopes of each, unpacked from their runs:
// each flag and its four data words (right slope, next left slope, weights, velocity) are
// shared by the next RefCount keys.
struct KEYS {
    std::vector<int64_t> times;
    std::vector<float> values, right, nextLeft;
    std::vector<int32_t> flags;
};

bool ReadKeys(const READER& reader, const RECORD& curve, KEYS* out) {
    const auto array = [&](const char* name, char type, auto* values) {
        const RECORD* record = curve.Child(name);
        return record && !record->props.empty() && reader.Array(record->props[0], type, values);
    };
    std::vector<int32_t> flags, counts;
    std::vector<float> data;
    if (!array("KeyTime", 'l', &out->times) || !array("KeyValueFloat", 'f', &out->values) ||
        out->values.size() != out->times.size() || !array("KeyAttrFlags", 'i', &flags) ||
        !array("KeyAttrRefCount", 'i', &counts) || flags.size() != counts.size())
        return false;
    const bool slopes = array("KeyAttrDataFloat", 'f', &data) && data.size() == 4 * flags.size();
    const size_t n = out->times.size();
    for (size_t run = 0; run < flags.size() && out->flags.size() < n; ++run) {
        if (counts[run] < 0) return false;
        const size_t keys = std::min(n - out->flags.size(), size_t(counts[run]));
        out->flags.insert(out->flags.end(), keys, flags[run]);
        out->right.insert(out->right.end(), keys, slopes ? data[4 * run] : 0.0f);
        out->nextLeft.insert(out->nextLeft.end(), keys, slopes ? data[4 * run + 1] : 0.0f);
    }
    return out->flags.size() + 1 >= n;  // the last key starts no span: its flags may be missing
}

// True when every key but the last holds until the next.
bool Holds(const KEYS& keys) {
    for (size_t k = 0; k + 1 < keys.times.size(); ++k) {
        if (!(keys.flags[k] & kConstantKey)) return false;
    }
    return true;
}

// The keys as a smooth curve, straight spans given the slope between their keys; false for a
// curve with held spans, keys out of order or slopes that are no numbers. `cubic` tells whether
// a span is cubic.
bool Smooth(const KEYS& keys, FBXFILE::CURVE* out, bool* cubic) {
    const size_t n = keys.times.size();
    if (n == 0) return false;
    *out = {{}, keys.values, keys.right, keys.nextLeft};
    out->right.resize(n), out->nextLeft.resize(n);
    for (size_t k = 0; k < n; ++k) {
        out->times.push_back(double(keys.times[k]) / kTicksPerSecond);
        if (!std::isfinite(out->values[k]) || (k > 0 && !(out->times[k] > out->times[k - 1])))
            return false;
    }
    for (size_t k = 0; k + 1 < n; ++k) {
        const int32_t flag = keys.flags[k];
        if (flag & kConstantKey) return false;
        if (flag & kCubicKey) {
            *cubic = true;
            if (!std::isfinite(out->right[k]) || !std::isfinite(out->nextLeft[k])) return false;
        } else {
            out->right[k] = out->nextLeft[k] =
                float((out->values[k + 1] - out->values[k]) / (out->times[k + 1] - out->times[k]));
        }
    }
    return true;
}

// The model's Properties70 value of a name, or `otherwise`.
int64_t Property(const READER& reader, const RECORD& model, std::string_view name, int64_t otherwise) {
    const RECORD* properties = model.Child("Properties70");
    if (!properties) return otherwise;
    for (const RECORD& p : properties->children) {
        if (p.props.size() >= 5 && reader.Text(p.props[0]) == name) return reader.Int(p.props.back());
    }
    return otherwise;
}

// What a curve node drives of its model, by the connection's property.
int KindOf(std::string_view property) {
    if (property == "Lcl Translation") return 0;
    if (property == "Lcl Rotation") return 1;
    if (property == "Lcl Scaling" || property == "Lcl Scale") return 2;
    return -1;
}

}  // namespace

bool FbxTextIsWhole(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (text.compare(0, kMagic.size(), kMagic) == 0) return true;  // binary: not ours to judge
    long depth = 0;
    bool quoted = false, comment = false;
    for (const char c : text) {
        if (comment) {
            comment = c != '\n';
        } else if (quoted) {
            quoted = c != '"';
        } else if (c == ';') {
            comment = true;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '{' || c == '}') {
            depth += c == '{' ? 1 : -1;
            if (depth < 0) return false;
        }
    }
    return depth == 0 && !quoted;
}

FBXFILE ReadFbxFile(const char* path) {
    FBXFILE file;
    std::ifstream in(path, std::ios::binary);
    READER reader(std::string(std::istreambuf_iterator<char>(in), {}));
    std::vector<RECORD> top;
    if (!in || !reader.Read(&top)) return file;

    std::unordered_map<int64_t, std::string_view> stacks;
    std::unordered_map<int64_t, const RECORD*> models;
    std::unordered_map<int64_t, KEYS> curves;  // empty when unreadable
    std::unordered_set<int64_t> layers, nodes;
    for (const RECORD& list : top) {
        if (list.name != "Objects") continue;
        for (const RECORD& object : list.children) {
            if (object.props.empty()) continue;
            const int64_t id = reader.Int(object.props[0]);
            if (object.name == "Model") models[id] = &object;
            if (object.name == "AnimationStack") stacks[id] = ObjectName(reader, object);
            if (object.name == "AnimationLayer") layers.insert(id);
            if (object.name == "AnimationCurveNode") nodes.insert(id);
            if (object.name == "AnimationCurve" && !ReadKeys(reader, object, &curves[id])) curves[id] = {};
        }
    }
    // Connections run from child to parent: curve -> curve node -> model and layer -> stack.
    std::unordered_map<int64_t, std::vector<std::pair<int64_t, int>>> nodeCurves;  // curve, axis
    std::unordered_map<int64_t, std::pair<int64_t, int>> targets;  // curve node -> model, kind
    std::unordered_map<int64_t, int64_t> nodeLayer, layerStack;
    for (const RECORD& list : top) {
        if (list.name != "Connections") continue;
        for (const RECORD& c : list.children) {
            if (c.name != "C" || c.props.size() < 3) continue;
            const int64_t child = reader.Int(c.props[1]), parent = reader.Int(c.props[2]);
            const std::string_view property = c.props.size() > 3 ? reader.Text(c.props[3]) : "";
            if (curves.count(child) && nodes.count(parent)) {
                const int axis = property.size() == 3 && property.starts_with("d|") ? property[2] - 'X' : -1;
                nodeCurves[parent].emplace_back(child, axis);
            } else if (nodes.count(child) && models.count(parent)) {
                const int kind = KindOf(property);
                if (kind >= 0) targets[child] = {parent, kind};
            } else if (nodes.count(child) && layers.count(parent)) {
                nodeLayer[child] = parent;
            } else if (layers.count(child) && stacks.count(parent)) {
                layerStack[child] = parent;
            }
        }
    }
    // A kind of a model's keys in a take holds when every curve of it does (in every layer).
    std::unordered_map<std::string, std::unordered_map<std::string, std::array<int, 3>>> seen;
    for (const auto& [node, target] : targets) {
        const auto layer = nodeLayer.find(node);
        const auto stack = layer == nodeLayer.end() ? layerStack.end() : layerStack.find(layer->second);
        if (stack == layerStack.end()) continue;
        const std::string take(stacks[stack->second]);
        const std::string model(ObjectName(reader, *models[target.first]));
        const auto& driven = nodeCurves[node];
        bool holds = !driven.empty();
        for (const auto& [curve, axis] : driven) holds = holds && !curves[curve].times.empty() && Holds(curves[curve]);
        int& kind = seen[take][model][size_t(target.second)];  // 0 not yet seen, 1 holds, 2 does not
        kind = kind != 2 && holds ? 1 : 2;
        if (target.second == 2 || kind != 2) continue;
        // Smooth when its X, Y and Z curves are, one of them at least cubic, in one layer only.
        FBXFILE::SMOOTH& smooth = file.smooth[take][model];
        bool& has = target.second == 0 ? smooth.hasPositions : smooth.hasRotations;
        auto& xyz = target.second == 0 ? smooth.positions : smooth.rotations;
        bool cubic = false, whole = driven.size() == 3 && !has;
        std::array<bool, 3> axes{};
        for (const auto& [curve, axis] : driven) {
            whole = whole && axis >= 0 && axis < 3 && !axes[size_t(axis)] &&
                    Smooth(curves[curve], &xyz[size_t(axis)], &cubic);
            if (whole) axes[size_t(axis)] = true;
        }
        has = whole && cubic;
        smooth.rotationOrder = int(Property(reader, *models[target.first], "RotationOrder", 0));
    }
    for (const auto& [take, byModel] : seen) {
        for (const auto& [model, kinds] : byModel)
            file.steps[take][model] = {kinds[0] == 1, kinds[1] == 1, kinds[2] == 1};
    }
    return file;
}

}  // namespace tavrel
