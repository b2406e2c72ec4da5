// The curves of COLLADA's keys and the matrices of its transform elements.
#include <algorithm>
#include <cmath>

#include "AnimRead/SceneFileRead/ColladaFile.h"
#include "AnimRead/SceneFileRead/CubicSpan.h"

namespace tavrel {
namespace {

// The cubic of a span of BEZIER or HERMITE keys.
CUBICSPAN Span(const COLLADAFILE::CURVE& curve, size_t k, int c, bool hermite) {
    const size_t n = size_t(curve.stride), a = k * n + size_t(c), b = a + n;
    const bool plane = curve.inTangents.size() == 2 * curve.values.size();
    const double t0 = curve.times[k], t1 = curve.times[k + 1], span = t1 - t0;
    CUBICSPAN s{{t0, t0 + span / 3, t1 - span / 3, t1}, {curve.values[a], 0, 0, curve.values[b]}};
    const double out = plane ? curve.outTangents[2 * a + 1] : curve.outTangents[a];
    const double in = plane ? curve.inTangents[2 * b + 1] : curve.inTangents[b];
    if (hermite) {  // tangents are rates along the span: a third of each is Bezier's handle
        s.v[1] = s.v[0] + out / 3;
        s.v[2] = s.v[3] - in / 3;
        if (plane) {
            s.t[1] = t0 + curve.outTangents[2 * a] / 3;
            s.t[2] = t1 - curve.inTangents[2 * b] / 3;
        }
    } else {
        s.v[1] = out;
        s.v[2] = in;
        if (plane) s.t[1] = curve.outTangents[2 * a], s.t[2] = curve.inTangents[2 * b];
    }
    // Handles within the span keep the time rising along the curve: one value a time.
    s.t[1] = std::clamp(s.t[1], t0, t1);
    s.t[2] = std::clamp(s.t[2], t0, t1);
    return s;
}

using MATRIX = std::array<double, 16>;

MATRIX Times(const MATRIX& a, const MATRIX& b) {
    MATRIX out{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) out[r * 4 + c] += a[r * 4 + k] * b[k * 4 + c];
        }
    }
    return out;
}

// An element's matrix; false for a kind or a count of values it cannot be.
bool ElementMatrix(const std::string& kind, const std::vector<double>& v, MATRIX* m) {
    *m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (kind == "matrix" && v.size() == 16) {
        std::copy(v.begin(), v.end(), m->begin());
    } else if (kind == "translate" && v.size() == 3) {
        (*m)[3] = v[0], (*m)[7] = v[1], (*m)[11] = v[2];
    } else if (kind == "scale" && v.size() == 3) {
        (*m)[0] = v[0], (*m)[5] = v[1], (*m)[10] = v[2];
    } else if (kind == "rotate" && v.size() == 4) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0) return true;  // no axis: no turn
        const double x = v[0] / length, y = v[1] / length, z = v[2] / length;
        const double a = v[3] * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
        // clang-format off
        *m = {t * x * x + c,     t * x * y - s * z, t * x * z + s * y, 0,
              t * x * y + s * z, t * y * y + c,     t * y * z - s * x, 0,
              t * x * z - s * y, t * y * z + s * x, t * z * z + c,     0,
              0,                 0,                 0,                 1};
        // clang-format on
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool COLLADAFILE::CURVE::Curved() const {
    if (interpolations.empty()) return false;
    return std::any_of(
        interpolations.begin(), interpolations.end() - 1,
        [](const std::string& word) { return word == "BEZIER" || word == "HERMITE"; });
}

void COLLADAFILE::CURVE::ValuesAt(double seconds, double* out) const {
    const size_t n = size_t(stride);
    const auto next = std::upper_bound(times.begin(), times.end(), seconds);
    if (next == times.begin() || next == times.end()) {
        const size_t k = next == times.begin() ? 0 : times.size() - 1;
        std::copy_n(values.begin() + std::ptrdiff_t(k * n), n, out);
        return;
    }
    const size_t k = size_t(next - times.begin()) - 1;
    const std::string& how = interpolations[k];
    const double span = times[k + 1] - times[k], u = span > 0 ? (seconds - times[k]) / span : 0;
    for (size_t c = 0; c < n; ++c) {
        const double a = values[k * n + c], b = values[(k + 1) * n + c];
        if (how == "BEZIER" || how == "HERMITE") {
            out[c] = Span(*this, k, int(c), how == "HERMITE").ValueAt(seconds);
        } else {
            out[c] = how == "STEP" ? a : a + (b - a) * u;
        }
    }
}

bool COLLADAFILE::CURVEDNODE::MatrixAt(const std::vector<ELEMENT>& elements,
                                       const std::vector<const CURVE*>& curves, double seconds,
                                       std::array<double, 16>* out) {
    std::vector<std::vector<double>> values;
    for (const ELEMENT& element : elements) values.push_back(element.values);
    double at[16];
    for (const CURVE* curve : curves) {
        const auto element = std::find_if(elements.begin(), elements.end(),
                                          [&](const ELEMENT& e) { return e.sid == curve->sid; });
        if (element == elements.end()) return false;
        std::vector<double>& v = values[size_t(element - elements.begin())];
        const size_t c = curve->component < 0 ? 0 : size_t(curve->component);
        if (curve->component < 0 ? v.size() != size_t(curve->stride) : c >= v.size()) return false;
        curve->ValuesAt(seconds, at);
        std::copy_n(at, curve->stride, v.begin() + std::ptrdiff_t(c));
    }
    *out = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (size_t e = 0; e < elements.size(); ++e) {
        MATRIX m;
        if (!ElementMatrix(elements[e].kind, values[e], &m)) return false;
        *out = Times(*out, m);
    }
    return true;
}

std::vector<std::vector<const COLLADAFILE::CURVE*>> COLLADAFILE::CURVEDNODE::Choices() const {
    std::vector<std::vector<const CURVE*>> choices(1);
    std::vector<std::string> groups;
    for (const CURVE& curve : curves) {
        choices.front().push_back(&curve);
        if (std::find(groups.begin(), groups.end(), curve.group) == groups.end())
            groups.push_back(curve.group);
    }
    for (size_t g = 0; g < groups.size() && groups.size() > 1; ++g) {
        choices.emplace_back();
        for (const CURVE& curve : curves) {
            if (curve.group == groups[g]) choices.back().push_back(&curve);
        }
    }
    return choices;
}

}  // namespace tavrel
