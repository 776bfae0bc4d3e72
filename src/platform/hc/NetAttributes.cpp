// Attribute values, their merging, and net (inherited) resolution.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/OptionParser.h"

#include <cmath>

namespace ketra::hc {

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------

const char* ColorChannelName(ColorChannel channel) {
    static const char* const kNames[] = {"faces",  "edges",    "lines",  "markers",
                                         "text",   "windows",  "window contrast",
                                         "lights", "back",     "vertices",
                                         "cut faces", "cut edges"};
    const size_t i = static_cast<size_t>(channel);
    return i < kColorChannelCount ? kNames[i] : "";
}

const char* GeometryKindName(GeometryKind kind) {
    static const char* const kNames[] = {
        "shell",   "polycylinder", "cylinder", "line",           "polyline",
        "marker",  "text",         "polygon",  "circle",         "ellipse",
        "elliptical arc", "image", "distant light", "cutting plane"};
    return kNames[static_cast<size_t>(kind)];
}

const char* CappingName(Capping capping) {
    switch (capping) {
        case Capping::None: return "none";
        case Capping::First: return "first";
        case Capping::Second: return "second";
        case Capping::Both: break;
    }
    return "both";
}

// ---------------------------------------------------------------------------
// OptionMap
// ---------------------------------------------------------------------------

namespace {

// True when NormalizeName(s) == s, checked without allocating: the names the
// renderer and the view look up are literals already in that form.
bool IsNormalizedName(std::string_view s) {
    if (s.empty()) return true;
    if (s.front() == ' ' || s.back() == ' ') return false;
    char prev = 0;
    for (char c : s) {
        if (c >= 'A' && c <= 'Z') return false;
        if (c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') return false;
        if (c == ' ' && prev == ' ') return false;
        prev = c;
    }
    return true;
}

}  // namespace

size_t OptionMap::IndexOf(std::string_view normalized) const {
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == normalized) return i;
    return std::string_view::npos;
}

size_t OptionMap::Lookup(std::string_view name) const {
    if (IsNormalizedName(name)) return IndexOf(name);
    return IndexOf(NormalizeName(name));
}

const std::string* OptionMap::Find(std::string_view name) const {
    const size_t i = Lookup(name);
    return i == std::string_view::npos ? nullptr : &m_entries[i].second;
}

bool OptionMap::IsOn(std::string_view name) const {
    const std::string* v = Find(name);
    if (!v) return false;
    bool on = true;
    if (ParseOnOff(*v, on)) return on;
    return NormalizeName(*v) != "off!";
}

void OptionMap::Set(std::string_view name, std::string_view value) {
    const size_t i = Lookup(name);
    if (i != std::string_view::npos) {
        m_entries[i].second = std::string(value);
        return;
    }
    // Keep the name as given (blanks collapsed) so Show reproduces it.
    std::string shown;
    bool blank = false;
    for (char c : Trim(name)) {
        if (c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank) shown.push_back(' ');
        blank = false;
        shown.push_back(c);
    }
    m_keys.push_back(NormalizeName(shown));
    m_entries.emplace_back(std::move(shown), std::string(value));
}

bool OptionMap::Erase(std::string_view name) {
    const size_t i = Lookup(name);
    if (i == std::string_view::npos) return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
    m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

void OptionMap::MergeFrom(const OptionMap& other) {
    for (const Entry& e : other.m_entries) Set(e.first, e.second);
}

std::string OptionMap::ToString() const {
    std::string out;
    for (const Entry& e : m_entries) {
        if (!out.empty()) out += ',';
        const std::string v = NormalizeName(e.second);
        if (v == "on") out += e.first;
        else if (v == "off") out += "no " + e.first;
        else out += e.first + "=" + e.second;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Colours and attribute sets
// ---------------------------------------------------------------------------

void ChannelColor::MergeFrom(const ChannelColor& nearer) {
    if (nearer.diffuse) diffuse = nearer.diffuse;
    if (nearer.specular) specular = nearer.specular;
    if (nearer.transmission) transmission = nearer.transmission;
    if (nearer.emission) emission = nearer.emission;
    if (nearer.gloss) gloss = nearer.gloss;
}

bool ColorAttribute::Empty() const {
    for (const ChannelColor& c : channels)
        if (!c.Empty()) return false;
    return true;
}

void ColorAttribute::MergeFrom(const ColorAttribute& nearer) {
    for (size_t i = 0; i < kColorChannelCount; ++i) channels[i].MergeFrom(nearer.channels[i]);
}

bool AttributeSet::Empty() const {
    return !color && !colorMap && visibility.Empty() && selectability.Empty() && !linePattern &&
           !edgePattern && !facePattern && !markerSymbol && !textAlignment && !lineWeight &&
           !edgeWeight && !markerSize && textFont.Empty() && renderingOptions.Empty() &&
           heuristics.Empty() && callbacks.Empty() && userIndex.empty() &&
           !handedness && !modellingMatrix && !camera.set && !window.set && !driver;
}

const AttributeSet& NoAttributes() {
    static const AttributeSet none;
    return none;
}

Rgb NetAttributes::DiffuseRgb(ColorChannel channel) const {
    const ChannelColor& c = color[channel];
    if (!c.diffuse) return {};
    if (c.diffuse->kind == Diffuse::Kind::Index) {
        if (colorMap.empty()) return {};
        long i = std::lround(c.diffuse->index);
        if (i < 0) i = 0;
        if (i >= static_cast<long>(colorMap.size())) i = static_cast<long>(colorMap.size()) - 1;
        return colorMap[static_cast<size_t>(i)];
    }
    if (c.diffuse->kind == Diffuse::Kind::Texture) return {1, 1, 1};
    return c.diffuse->rgb;
}

NetAttributes DefaultNetAttributes() {
    NetAttributes net;
    for (size_t i = 0; i < kColorChannelCount; ++i) {
        ChannelColor& c = net.color.channels[i];
        c.diffuse = Diffuse{};
        c.diffuse->rgb = {0, 0, 0};
    }
    net.color[ColorChannel::Faces].diffuse->rgb = {1, 1, 1};
    net.color[ColorChannel::Back].diffuse->rgb = {1, 1, 1};
    net.color[ColorChannel::Windows].diffuse->rgb = {1, 1, 1};
    net.color[ColorChannel::Lights].diffuse->rgb = {1, 1, 1};
    net.color[ColorChannel::WindowContrast].diffuse->rgb = {0, 0, 0};
    net.color[ColorChannel::Faces].specular = Rgb{1, 1, 1};
    net.color[ColorChannel::Faces].transmission = Rgb{0, 0, 0};
    net.color[ColorChannel::Faces].emission = Rgb{0, 0, 0};
    net.color[ColorChannel::Faces].gloss = 5.0f;
    net.colorMap = DefaultColorMap();
    net.textFont.Set("name", "sans serif");
    net.textFont.Set("size", "12 pts");
    return net;
}

namespace {

void ApplyImpl(NetAttributes& net, const AttributeSet& a, bool transformAndCamera) {
    if (a.color) net.color.MergeFrom(*a.color);
    if (a.colorMap) net.colorMap = *a.colorMap;
    net.visible = (net.visible & ~a.visibility.mask) | (a.visibility.on & a.visibility.mask);
    const Selectability& s = a.selectability;
    net.selectable = (net.selectable & ~s.mask) | (s.on & s.mask);
    net.selectableForced = (net.selectableForced & ~s.mask) | (s.forced & s.mask);
    if (a.linePattern) net.linePattern = *a.linePattern;
    if (a.edgePattern) net.edgePattern = *a.edgePattern;
    if (a.facePattern) net.facePattern = *a.facePattern;
    if (a.markerSymbol) net.markerSymbol = *a.markerSymbol;
    if (a.textAlignment) net.textAlignment = *a.textAlignment;
    if (a.lineWeight) net.lineWeight = *a.lineWeight;
    if (a.edgeWeight) net.edgeWeight = *a.edgeWeight;
    if (a.markerSize) net.markerSize = *a.markerSize;
    net.textFont.MergeFrom(a.textFont);
    net.renderingOptions.MergeFrom(a.renderingOptions);
    net.heuristics.MergeFrom(a.heuristics);
    net.callbacks.MergeFrom(a.callbacks);
    for (const auto& [k, v] : a.userIndex) net.userIndex[k] = v;
    if (a.handedness) net.handedness = *a.handedness;
    if (transformAndCamera) {
        if (a.modellingMatrix) net.modelling = Multiply(*a.modellingMatrix, net.modelling);
        if (a.camera.set) net.camera = a.camera;
    }
}

void ApplyStyles(NetAttributes& net, const Segment& segment, int depth) {
    // Styles that style each other would recurse forever; a bound cuts cycles.
    if (depth > 16) return;
    for (const auto& ref : segment.styles) {
        const Segment* style = ref->target;
        if (!style) continue;
        ApplyStyles(net, *style, depth + 1);
        if (style->attributes) ApplyImpl(net, *style->attributes, false);
        if (style->userOptions) net.userOptions.MergeFrom(*style->userOptions);
    }
}

}  // namespace

void Graph::ApplyAttributes(NetAttributes& net, const AttributeSet& attributes) {
    ApplyImpl(net, attributes, true);
}

void Graph::Apply(NetAttributes& net, const Segment& segment) {
    ApplyStyles(net, segment, 0);
    net.window = Window{};
    if (segment.attributes) {
        ApplyImpl(net, *segment.attributes, true);
        if (segment.attributes->camera.set) net.cameraOwner = segment.key;
        net.window = segment.attributes->window;
    }
    if (segment.userOptions) net.userOptions.MergeFrom(*segment.userOptions);
}

NetAttributes Graph::Net(const Segment& segment) const {
    std::vector<const Segment*> chain;
    for (const Segment* s = &segment; s; s = s->owner) chain.push_back(s);
    NetAttributes net = DefaultNetAttributes();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) Apply(net, **it);
    return net;
}

bool Graph::PathChain(int count, const Key* keys, std::vector<const Segment*>& chain,
                      std::string* error) const {
    chain.clear();
    if (count < 0 || (count > 0 && !keys)) {
        if (error) *error = "bad key path (negative count or null keys)";
        return false;
    }
    const Segment* cur = nullptr;
    if (count == 0) {
        cur = OpenSegment();
        if (!cur) {
            if (error) *error = "no segment is open";
            return false;
        }
    } else {
        const Entity* e = Find(keys[0]);
        if (!e) {
            if (error) *error = "unknown key " + std::to_string(keys[0]) + " in path";
            return false;
        }
        cur = e->kind == EntityKind::Segment ? static_cast<const Segment*>(e) : e->owner;
        if (!cur) {
            if (error) *error = "key " + std::to_string(keys[0]) + " has no segment";
            return false;
        }
    }
    std::vector<const Segment*> leafFirst{cur};
    for (int i = 1; i < count; ++i) {
        const Entity* k = Find(keys[i]);
        if (!k) {
            if (error) *error = "unknown key " + std::to_string(keys[i]) + " in path";
            return false;
        }
        if (k == cur) continue;
        // Walk up from cur until the key connects: an include of the reached
        // segment, a segment owning the reached one, or a segment including it.
        std::vector<const Segment*> climbed;
        const Segment* reached = cur;
        const Segment* next = nullptr;
        while (reached && !next) {
            if (k->kind == EntityKind::Include) {
                const auto* r = static_cast<const Reference*>(k);
                if (r->target == reached) next = r->owner;
            } else if (k->kind == EntityKind::Segment) {
                const auto* ks = static_cast<const Segment*>(k);
                if (reached->owner == ks) next = ks;
                for (const auto& inc : ks->includes)
                    if (!next && inc->target == reached) next = ks;
            }
            if (next) break;
            reached = reached->owner;
            if (reached) climbed.push_back(reached);
        }
        if (!next) {
            if (error)
                *error = "key " + std::to_string(keys[i]) + " does not connect the path";
            return false;
        }
        leafFirst.insert(leafFirst.end(), climbed.begin(), climbed.end());
        leafFirst.push_back(next);
        cur = next;
    }
    for (const Segment* s = cur->owner; s; s = s->owner) leafFirst.push_back(s);
    chain.assign(leafFirst.rbegin(), leafFirst.rend());
    return true;
}

bool Graph::NetAlongPath(int count, const Key* keys, NetAttributes& out, std::string* error) const {
    std::vector<const Segment*> chain;
    if (!PathChain(count, keys, chain, error)) return false;
    out = DefaultNetAttributes();
    for (const Segment* s : chain) Apply(out, *s);
    return true;
}

// ---------------------------------------------------------------------------
// Matrices
// ---------------------------------------------------------------------------

Matrix IdentityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

bool IsIdentity(const Matrix& m) { return m == IdentityMatrix(); }

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += static_cast<double>(a[i * 4 + k]) * b[k * 4 + j];
            r[i * 4 + j] = static_cast<float>(s);
        }
    return r;
}

Vec3 TransformPoint(const Vec3& p, const Matrix& m) {
    const double x = p.x * static_cast<double>(m[0]) + p.y * static_cast<double>(m[4]) +
                     p.z * static_cast<double>(m[8]) + m[12];
    const double y = p.x * static_cast<double>(m[1]) + p.y * static_cast<double>(m[5]) +
                     p.z * static_cast<double>(m[9]) + m[13];
    const double z = p.x * static_cast<double>(m[2]) + p.y * static_cast<double>(m[6]) +
                     p.z * static_cast<double>(m[10]) + m[14];
    const double w = p.x * static_cast<double>(m[3]) + p.y * static_cast<double>(m[7]) +
                     p.z * static_cast<double>(m[11]) + m[15];
    if (w != 1.0 && w != 0.0)
        return {static_cast<float>(x / w), static_cast<float>(y / w), static_cast<float>(z / w)};
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

bool Invert(const Matrix& src, Matrix& out) {
    double m[16], inv[16];
    for (int i = 0; i < 16; ++i) m[i] = src[i];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] + m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] + m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] - m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    double scale = 0;
    for (double v : m) scale = std::max(scale, std::fabs(v));
    if (det == 0 || !std::isfinite(det) || std::fabs(det) <= 1e-12 * std::pow(scale, 4)) {
        out = IdentityMatrix();
        return false;
    }
    for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(inv[i] / det);
    return true;
}

}  // namespace ketra::hc
