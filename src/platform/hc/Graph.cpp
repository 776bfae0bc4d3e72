#include "platform/hc/GraphInternal.h"
#include "platform/sys/HugePages.h"

#include "platform/hc/OptionParser.h"

#include <algorithm>

namespace ketra::hc {

namespace {

constexpr Key kMaxKeys = 0x7ffffff0;

void DefaultHandler(int, int, int, const char* function, const char* message) {
    std::fprintf(stderr, "%s: %s\n", function ? function : "HC", message ? message : "");
}

}  // namespace

// ---------------------------------------------------------------------------
// Segment
// ---------------------------------------------------------------------------

Segment* Segment::FindChild(std::string_view childName) const {
    if (childIndex) {
        auto it = childIndex->find(childName);
        return it == childIndex->end() ? nullptr : it->second;
    }
    for (const auto& c : children)
        if (!c->name.empty() && EqualsNoCase(c->name, childName)) return c.get();
    return nullptr;
}

AttributeSet& Segment::Attributes() {
    if (!attributes) attributes = std::make_unique<AttributeSet>();
    return *attributes;
}

// ---------------------------------------------------------------------------
// Graph
// ---------------------------------------------------------------------------

Graph& Graph::Instance() {
    static Graph graph;
    return graph;
}

Graph::Graph() : m_state(std::make_unique<State>()) { Reset(); }

Graph::~Graph() = default;

size_t Graph::KeysGiven() const { return m_state->keyTable.size(); }

void Graph::Reset() {
    State& st = *m_state;
    m_touchNext = m_touchCount = 0;
    m_touchesFrom = m_generation;
    // Invalidate every key but keep the table's size: keys are never reused.
    for (auto& e : st.keyTable) e = nullptr;
    m_root = std::make_unique<Segment>();
    m_root->kind = EntityKind::Segment;
    m_root->key = -static_cast<Key>(st.keyTable.size()) - 2;
    st.keyTable.push_back(m_root.get());
    st.globalUserKeys.clear();
    st.open.clear();
    st.searches.clear();
    st.callbackSearch = st.glyphSearch = st.lineStyleSearch = st.textureSearch = {};
    st.handler = nullptr;
    st.errors = st.warnings = st.info = true;
    st.systemOptions.Clear();
    st.namedImages.clear();
    st.aliases = {{"?style library", "/style library"},
                  {"?include library", "/include library"},
                  {"?user library", "/user library"},
                  {"?picture", "/driver/opengl/window0"}};
    m_defs = Definitions{};
    Touch(*m_root);
}

void Graph::Touch(Entity& e) {
    ++m_contentChanges;
    Stamp(e);
    Record(e, false);
}

void Graph::TouchCamera(Entity& e) {
    Stamp(e);
    Record(e, true);
}

void Graph::Record(const Entity& e, bool cameraOnly) {
    if (m_touchCount == kTouchesKept)
        m_touchesFrom = m_touches[m_touchNext].generation;
    else
        ++m_touchCount;
    m_touches[m_touchNext] = {m_generation, e.key, cameraOnly};
    m_touchNext = (m_touchNext + 1) % kTouchesKept;
}

bool Graph::TouchesSince(uint64_t generation, std::vector<TouchRecord>& out) const {
    if (generation < m_touchesFrom) return false;
    for (size_t i = 0; i < m_touchCount; ++i) {
        const TouchRecord& t = m_touches[(m_touchNext + kTouchesKept - m_touchCount + i) % kTouchesKept];
        if (t.generation > generation) out.push_back(t);
    }
    return true;
}

void Graph::Stamp(Entity& e) {
    ++m_generation;
    e.changeCount = m_generation;
    if (e.owner) e.owner->changeCount = m_generation;
    if (e.kind == EntityKind::Geometry) {
        auto& g = static_cast<Geometry&>(e);
        if (g.lodBase) g.lodBase->changeCount = m_generation;
    }
}

Entity* Graph::Find(Key key) const {
    const State& st = *m_state;
    if (key <= -2) {
        const size_t index = static_cast<size_t>(-(key + 2));
        if (index < st.keyTable.size()) return st.keyTable[index];
        return nullptr;
    }
    if (key < 0) return nullptr;
    // Local user keys of the open segment win over global ones.
    if (const Segment* seg = OpenSegment(); seg && seg->localKeys) {
        auto it = seg->localKeys->find(key);
        if (it != seg->localKeys->end()) return it->second;
    }
    auto it = st.globalUserKeys.find(key);
    return it == st.globalUserKeys.end() ? nullptr : it->second;
}

Segment* Graph::FindSegment(Key key) const {
    Entity* e = Find(key);
    return e && e->kind == EntityKind::Segment ? static_cast<Segment*>(e) : nullptr;
}

Geometry* Graph::FindGeometry(Key key) const {
    Entity* e = Find(key);
    return e && e->kind == EntityKind::Geometry ? static_cast<Geometry*>(e) : nullptr;
}

Reference* Graph::FindReference(Key key) const {
    Entity* e = Find(key);
    return e && (e->kind == EntityKind::Include || e->kind == EntityKind::Style)
               ? static_cast<Reference*>(e)
               : nullptr;
}

Segment* Graph::OpenSegment() const {
    const State& st = *m_state;
    for (auto it = st.open.rbegin(); it != st.open.rend(); ++it) {
        if (it->kind == State::Frame::Kind::Segment) {
            const size_t index = static_cast<size_t>(-(it->key + 2));
            Entity* e = index < st.keyTable.size() ? st.keyTable[index] : nullptr;
            return e ? static_cast<Segment*>(e) : nullptr;
        }
    }
    return nullptr;
}

void Graph::DefineAlias(std::string_view name, std::string_view expansion) {
    const std::string n = NormalizeName(name);
    for (auto& a : m_state->aliases) {
        if (a.first == n) {
            a.second = std::string(Trim(expansion));
            return;
        }
    }
    m_state->aliases.emplace_back(n, std::string(Trim(expansion)));
}

bool Graph::RemoveAlias(std::string_view name) {
    const std::string n = NormalizeName(name);
    auto& v = m_state->aliases;
    auto it = std::find_if(v.begin(), v.end(), [&](const auto& a) { return a.first == n; });
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

const std::string* Graph::FindAlias(std::string_view name) const {
    const std::string n = NormalizeName(name);
    for (const auto& a : m_state->aliases)
        if (a.first == n) return &a.second;
    return nullptr;
}

Segment* Graph::Resolve(std::string_view path, bool create, std::string* error) {
    std::string expanded;
    std::string_view p = Trim(path);
    // Aliases may expand to other aliases; bound the depth against cycles.
    for (int depth = 0; !p.empty() && p.front() == '?'; ++depth) {
        if (depth > 8) {
            if (error) *error = "alias expansion too deep in '" + std::string(path) + "'";
            return nullptr;
        }
        const size_t slash = p.find('/');
        const std::string_view aliasName = p.substr(0, slash);
        const std::string* exp = FindAlias(aliasName);
        if (!exp) {
            if (error) *error = "undefined alias '" + std::string(aliasName) + "'";
            return nullptr;
        }
        expanded = *exp + std::string(slash == std::string_view::npos ? "" : p.substr(slash));
        p = expanded;
    }
    if (p.empty()) {
        if (error) *error = "empty segment name";
        return nullptr;
    }
    Segment* cur = nullptr;
    if (p.front() == '/') {
        cur = m_root.get();
        p.remove_prefix(1);
    } else {
        cur = OpenSegment();
        if (!cur) {
            if (!m_state->open.empty()) {
                if (error) *error = "the open segment was deleted";
                return nullptr;
            }
            cur = m_root.get();
        }
    }
    // Split and check every component before creating anything, so a bad path
    // never leaves half of itself behind.
    std::vector<std::string_view> comps;
    while (!p.empty()) {
        const size_t slash = p.find('/');
        const std::string_view comp = Trim(p.substr(0, slash));
        p = slash == std::string_view::npos ? std::string_view{} : p.substr(slash + 1);
        if (comp.empty()) {
            if (p.empty() && slash != std::string_view::npos) break;  // trailing '/'
            if (error) *error = "empty name in path '" + std::string(path) + "'";
            return nullptr;
        }
        if (comp == "..." || comp.find('*') != std::string_view::npos || comp.front() == '?') {
            if (error) *error = "'" + std::string(comp) + "' is not a segment name";
            return nullptr;
        }
        comps.push_back(comp);
    }
    // Dry run: `missing` counts levels below `probe` that do not exist yet.
    const Segment* probe = cur;
    int missing = 0;
    for (std::string_view comp : comps) {
        if (comp == ".") continue;
        if (comp == "..") {
            if (missing > 0) {
                --missing;
            } else if (!probe->owner) {
                if (error) *error = "'..' above the root in '" + std::string(path) + "'";
                return nullptr;
            } else {
                probe = probe->owner;
            }
            continue;
        }
        if (missing > 0) {
            if (comp.front() == '@') {
                if (error) *error = "no segment '" + std::string(comp) + "' in '" + std::string(path) + "'";
                return nullptr;
            }
            ++missing;
            continue;
        }
        if (comp.front() == '@') {
            char* end = nullptr;
            const std::string num(comp.substr(1));
            const long k = std::strtol(num.c_str(), &end, 10);
            const Segment* s = (!num.empty() && end && *end == '\0') ? FindSegment(k) : nullptr;
            if (!s || s->owner != probe) {
                if (error) *error = "no segment '" + std::string(comp) + "' in '" + std::string(path) + "'";
                return nullptr;
            }
            probe = s;
            continue;
        }
        if (const Segment* next = probe->FindChild(comp)) {
            probe = next;
        } else if (!create) {
            if (error) *error = "segment '" + std::string(path) + "' does not exist";
            return nullptr;
        } else {
            missing = 1;
        }
    }
    // Everything exists: the dry run already found it.
    if (missing == 0) return const_cast<Segment*>(probe);
    for (std::string_view comp : comps) {
        if (comp == ".") continue;
        if (comp == "..") {
            cur = cur->owner;
            continue;
        }
        if (comp.front() == '@') {
            cur = FindSegment(std::strtol(std::string(comp.substr(1)).c_str(), nullptr, 10));
            continue;
        }
        Segment* next = cur->FindChild(comp);
        if (!next) {
            next = detail::CreateChild(*cur, comp);
            if (!next) {
                if (error) *error = "too many keys";
                return nullptr;
            }
        }
        cur = next;
    }
    return cur;
}

std::string Graph::PathName(const Segment& segment) const {
    if (!segment.owner) return "/";
    std::vector<const Segment*> chain;
    for (const Segment* s = &segment; s->owner; s = s->owner) chain.push_back(s);
    std::string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        out += '/';
        if ((*it)->name.empty()) out += "@" + std::to_string((*it)->key);
        else out += (*it)->name;
    }
    return out;
}

Geometry* Graph::FindNamedImage(std::string_view name) const {
    auto it = m_state->namedImages.find(NormalizeName(name));
    return it == m_state->namedImages.end() ? nullptr : FindGeometry(it->second);
}

void Graph::RegisterDisplayDriver(DisplayDriver* driver) {
    if (driver && std::find(m_drivers.begin(), m_drivers.end(), driver) == m_drivers.end())
        m_drivers.push_back(driver);
}

void Graph::UnregisterDisplayDriver(DisplayDriver* driver) {
    m_drivers.erase(std::remove(m_drivers.begin(), m_drivers.end(), driver), m_drivers.end());
}

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------

HC_CALLBACK Definitions::FindCallback(std::string_view name) const {
    for (const auto& c : callbacks)
        if (EqualsNoCase(c.first, Trim(name))) return c.second;
    return nullptr;
}

const std::vector<signed char>* Definitions::FindGlyph(std::string_view name) const {
    auto it = glyphs.find(NormalizeName(name));
    return it == glyphs.end() ? nullptr : &it->second;
}

const std::string* Definitions::FindLineStyle(std::string_view name) const {
    const std::string n = NormalizeName(name);
    for (const auto& l : lineStyles)
        if (NormalizeName(l.first) == n) return &l.second;
    return nullptr;
}

const TextureDefinition* Definitions::FindTexture(std::string_view name) const {
    const std::string n = NormalizeName(name);
    for (const auto& t : textures)
        if (NormalizeName(t.name) == n) return &t;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

void ReportError(const char* function, int category, std::string_view message, int severity,
                 int specific) {
    Graph::State& st = Graph::Instance().Internal();
    if (severity == HC_SEV_INFO && !st.info) return;
    if (severity == HC_SEV_WARNING && !st.warnings) return;
    if (severity >= HC_SEV_ERROR && !st.errors) return;
    const std::string msg(message);
    HC_ERROR_HANDLER h = st.handler ? st.handler : &DefaultHandler;
    h(category, specific, severity, function, msg.c_str());
}

// ---------------------------------------------------------------------------
// detail helpers
// ---------------------------------------------------------------------------

namespace detail {

Graph::State& St() { return Graph::Instance().Internal(); }

Key Register(Entity& e) {
    Graph::State& st = St();
    if (st.keyTable.size() >= static_cast<size_t>(kMaxKeys)) return kNoKey;
    e.key = -static_cast<Key>(st.keyTable.size()) - 2;
    st.keyTable.push_back(&e);
    sys::AdviseHeapGrowth(&e);  // a scene being built: huge pages for what it takes next
    return e.key;
}


}  // namespace detail
}  // namespace ketra::hc
