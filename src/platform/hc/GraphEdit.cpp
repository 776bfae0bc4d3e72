// Structural edits of the graph: creating, deleting and moving entities while
// keeping the key table, user keys, child indices and reference lists consistent.
#include "platform/hc/GraphInternal.h"

#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <utility>

namespace ketra::hc::detail {

namespace {

constexpr size_t kChildIndexThreshold = 8;

template <typename F>
void ForEachEntity(Segment& segment, F&& f) {
    f(static_cast<Entity&>(segment));
    for (auto& g : segment.geometry) {
        f(static_cast<Entity&>(*g));
        if (ShellData* shell = g->Shell())
            for (LodLevel& lod : shell->lods)
                for (auto& item : lod.items) f(static_cast<Entity&>(*item));
    }
    for (auto& r : segment.includes) f(static_cast<Entity&>(*r));
    for (auto& r : segment.styles) f(static_cast<Entity&>(*r));
    for (auto& c : segment.children) ForEachEntity(*c, f);
}

void Unregister(Entity& e) {
    Graph::State& st = St();
    if (e.key <= -2) {
        const size_t index = static_cast<size_t>(-(e.key + 2));
        if (index < st.keyTable.size() && st.keyTable[index] == &e) st.keyTable[index] = nullptr;
    }
    if (e.hasUserKey) {
        if (e.userKeyLocal) {
            if (e.owner && e.owner->localKeys) {
                auto it = e.owner->localKeys->find(e.userKey);
                if (it != e.owner->localKeys->end() && it->second == &e) e.owner->localKeys->erase(it);
            }
        } else {
            auto it = st.globalUserKeys.find(e.userKey);
            if (it != st.globalUserKeys.end() && it->second == &e) st.globalUserKeys.erase(it);
        }
    }
    if (e.kind == EntityKind::Geometry) {
        auto& g = static_cast<Geometry&>(e);
        if (auto* img = std::get_if<ImageData>(&g.data); img && !img->name.empty()) {
            auto it = st.namedImages.find(NormalizeName(img->name));
            if (it != st.namedImages.end() && it->second == g.key) st.namedImages.erase(it);
        }
    }
}

void DetachReference(Reference& r) {
    if (!r.target) return;
    auto& v = r.target->referencedBy;
    size_t i = r.indexInTarget;
    if (i >= v.size() || v[i] != &r) {
        // Not where it was put (already detached): find it, if it is there at all.
        auto it = std::find(v.begin(), v.end(), &r);
        if (it == v.end()) return;
        i = static_cast<size_t>(it - v.begin());
    }
    // The last reference takes its place: deleting a plant's many references to one style
    // segment is linear, not quadratic.
    v[i] = v.back();
    v[i]->indexInTarget = i;
    v.pop_back();
}

std::unique_ptr<Segment> DetachChild(Segment& parent, Segment& child) {
    if (parent.childIndex && !child.name.empty()) {
        auto it = parent.childIndex->find(std::string_view(child.name));
        if (it != parent.childIndex->end() && it->second == &child) parent.childIndex->erase(it);
    }
    auto it = std::find_if(parent.children.begin(), parent.children.end(),
                           [&](const auto& c) { return c.get() == &child; });
    if (it == parent.children.end()) return nullptr;
    std::unique_ptr<Segment> owned = std::move(*it);
    parent.children.erase(it);
    return owned;
}

void AttachChild(Segment& parent, std::unique_ptr<Segment> child) {
    Segment* raw = child.get();
    raw->owner = &parent;
    parent.children.push_back(std::move(child));
    if (!parent.childIndex && parent.children.size() > kChildIndexThreshold) {
        parent.childIndex = std::make_unique<ChildIndex>();
        for (const auto& c : parent.children)
            if (!c->name.empty()) parent.childIndex->emplace(ToLower(c->name), c.get());
    } else if (parent.childIndex && !raw->name.empty()) {
        parent.childIndex->emplace(ToLower(raw->name), raw);
    }
}

// Moves a local user key from one owner's table to another's.
void MoveLocalKey(Entity& e, Segment& from, Segment& to) {
    if (!e.hasUserKey || !e.userKeyLocal) return;
    if (from.localKeys) from.localKeys->erase(e.userKey);
    if (!to.localKeys) to.localKeys = std::make_unique<std::unordered_map<Key, Entity*>>();
    if (!to.localKeys->emplace(e.userKey, &e).second) {
        // The new owner already uses that local key: the moved item loses its own.
        e.hasUserKey = false;
        e.userKeyLocal = false;
    }
}

}  // namespace

Entity* FindKey(const char* fn, Key key) {
    Entity* e = Graph::Instance().Find(key);
    if (!e) ReportError(fn, HC_ERR_KEY, "unknown or deleted key " + std::to_string(key));
    return e;
}

Segment* FindSegmentKey(const char* fn, Key key) {
    Entity* e = FindKey(fn, key);
    if (!e) return nullptr;
    if (e->kind != EntityKind::Segment) {
        ReportError(fn, HC_ERR_KEY, "key " + std::to_string(key) + " is not a segment");
        return nullptr;
    }
    return static_cast<Segment*>(e);
}

Geometry* FindGeometryKey(const char* fn, Key key) {
    Entity* e = FindKey(fn, key);
    if (!e) return nullptr;
    if (e->kind != EntityKind::Geometry) {
        ReportError(fn, HC_ERR_KEY, "key " + std::to_string(key) + " is not a geometry item");
        return nullptr;
    }
    return static_cast<Geometry*>(e);
}

Graph::State::Frame* TopFrame() {
    auto& open = St().open;
    return open.empty() ? nullptr : &open.back();
}

Segment* RequireOpenSegment(const char* fn) {
    Graph::State& st = St();
    if (st.open.empty()) {
        ReportError(fn, HC_ERR_STATE, "no segment is open");
        return nullptr;
    }
    Segment* s = Graph::Instance().OpenSegment();
    if (!s) ReportError(fn, HC_ERR_STATE, "the open segment was deleted");
    return s;
}

Segment* CreateChild(Segment& parent, std::string_view name) {
    auto child = std::make_unique<Segment>();
    child->kind = EntityKind::Segment;
    child->name = std::string(Trim(name));
    if (Register(*child) == kNoKey) return nullptr;
    Segment* raw = child.get();
    AttachChild(parent, std::move(child));
    Graph::Instance().Touch(*raw);
    return raw;
}

bool IsInSubtree(const Segment& inner, const Segment& outer) {
    for (const Segment* s = &inner; s; s = s->owner)
        if (s == &outer) return true;
    return false;
}

bool IsOpen(const Segment& segment) {
    Graph& g = Graph::Instance();
    for (const auto& f : St().open) {
        const Entity* e = g.Find(f.key);
        if (!e) continue;
        const Segment* s = e->kind == EntityKind::Segment ? static_cast<const Segment*>(e) : e->owner;
        if (s && IsInSubtree(*s, segment)) return true;
    }
    return false;
}

void DeleteReference(Reference& r) {
    Segment* owner = r.owner;
    DetachReference(r);
    Unregister(r);
    if (!owner) return;
    auto& list = r.kind == EntityKind::Include ? owner->includes : owner->styles;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == &r; });
    if (it != list.end()) list.erase(it);  // frees r
    Graph::Instance().Touch(*owner);
}

void DeleteGeometry(Geometry& g) {
    Segment* owner = g.owner;
    Unregister(g);
    if (ShellData* shell = g.Shell())
        for (LodLevel& lod : shell->lods)
            for (auto& item : lod.items) Unregister(*item);
    Graph& graph = Graph::Instance();
    if (g.lodBase) {
        Geometry* base = g.lodBase;
        if (ShellData* shell = base->Shell()) {
            for (auto it = shell->lods.begin(); it != shell->lods.end(); ++it) {
                auto& items = it->items;
                auto pos = std::find_if(items.begin(), items.end(),
                                        [&](const auto& p) { return p.get() == &g; });
                if (pos == items.end()) continue;
                items.erase(pos);
                if (items.empty()) shell->lods.erase(it);
                break;
            }
        }
        graph.Touch(*base);
        return;
    }
    if (!owner) return;
    auto& list = owner->geometry;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == &g; });
    if (it != list.end()) list.erase(it);
    graph.Touch(*owner);
}

void DeleteSegment(Segment& segment) {
    Segment* parent = segment.owner;
    if (!parent) return;  // the root is never deleted
    // References from outside the subtree into it go away with it.
    std::vector<Reference*> outside;
    ForEachEntity(segment, [&](Entity& e) {
        if (e.kind != EntityKind::Segment) return;
        for (Reference* r : static_cast<Segment&>(e).referencedBy)
            if (r->owner && !IsInSubtree(*r->owner, segment)) outside.push_back(r);
    });
    for (Reference* r : outside) DeleteReference(*r);
    // References from inside to outside targets must leave those targets' lists.
    ForEachEntity(segment, [&](Entity& e) {
        if (e.kind == EntityKind::Include || e.kind == EntityKind::Style)
            DetachReference(static_cast<Reference&>(e));
    });
    ForEachEntity(segment, [&](Entity& e) { Unregister(e); });
    std::unique_ptr<Segment> owned = DetachChild(*parent, segment);
    Graph::Instance().Touch(*parent);
    // `owned` frees the subtree here.
}

void MoveGeometry(Geometry& g, Segment& newOwner) {
    Segment* old = g.owner;
    if (!old || old == &newOwner || g.lodBase) return;
    auto& list = old->geometry;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == &g; });
    if (it == list.end()) return;
    std::unique_ptr<Geometry> owned = std::move(*it);
    list.erase(it);
    MoveLocalKey(g, *old, newOwner);
    g.owner = &newOwner;
    // Level-of-detail items are looked up through their owner too: their local keys must
    // follow, or the old owner's table keeps pointers that the shell's deletion frees.
    if (ShellData* shell = g.Shell())
        for (LodLevel& lod : shell->lods)
            for (auto& item : lod.items) {
                MoveLocalKey(*item, *old, newOwner);
                item->owner = &newOwner;
            }
    newOwner.geometry.push_back(std::move(owned));
    Graph& graph = Graph::Instance();
    graph.Touch(*old);
    graph.Touch(g);
}

void MoveSegment(Segment& segment, Segment& newOwner, std::string_view newName) {
    Segment* old = segment.owner;
    if (!old) return;
    std::unique_ptr<Segment> owned = DetachChild(*old, segment);
    if (!owned) return;
    MoveLocalKey(segment, *old, newOwner);
    segment.name = std::string(Trim(newName));
    AttachChild(newOwner, std::move(owned));
    Graph& graph = Graph::Instance();
    graph.Touch(*old);
    graph.Touch(segment);
}

Geometry* InsertGeometry(const char* fn, GeometryKind type) {
    Graph& graph = Graph::Instance();
    Graph::State::Frame* top = TopFrame();
    if (!top) {
        ReportError(fn, HC_ERR_STATE, "no segment is open");
        return nullptr;
    }
    auto g = std::make_unique<Geometry>();
    g->kind = EntityKind::Geometry;
    g->type = type;
    switch (type) {
        case GeometryKind::Shell: break;  // the variant starts as a shell
        case GeometryKind::PolyCylinder: g->data.emplace<PolyCylinderData>(); break;
        case GeometryKind::Cylinder: g->data.emplace<CylinderData>(); break;
        case GeometryKind::Line: g->data.emplace<LineData>(); break;
        case GeometryKind::Polyline:
        case GeometryKind::Polygon: g->data.emplace<PolylineData>(); break;
        case GeometryKind::Marker: g->data.emplace<MarkerData>(); break;
        case GeometryKind::Text: g->data.emplace<TextData>(); break;
        case GeometryKind::Circle: g->data.emplace<CircleData>(); break;
        case GeometryKind::Ellipse:
        case GeometryKind::EllipticalArc: g->data.emplace<EllipseData>(); break;
        case GeometryKind::Image: g->data.emplace<ImageData>(); break;
        case GeometryKind::DistantLight: g->data.emplace<DistantLightData>(); break;
        case GeometryKind::CuttingPlane: g->data.emplace<CuttingPlaneData>(); break;
    }
    using Kind = Graph::State::Frame::Kind;
    if (top->kind == Kind::Segment) {
        Segment* seg = graph.FindSegment(top->key);
        if (!seg) {
            ReportError(fn, HC_ERR_STATE, "the open segment was deleted");
            return nullptr;
        }
        if (Register(*g) == kNoKey) {
            ReportError(fn, HC_ERR_STATE, "out of keys");
            return nullptr;
        }
        g->owner = seg;
        Geometry* raw = g.get();
        seg->geometry.push_back(std::move(g));
        graph.Touch(*raw);
        return raw;
    }
    if (top->kind == Kind::Lod) {
        Geometry* base = graph.FindGeometry(top->key);
        ShellData* shell = base ? base->Shell() : nullptr;
        if (!shell) {
            ReportError(fn, HC_ERR_STATE, "the geometry of the open LOD was deleted");
            return nullptr;
        }
        if (Register(*g) == kNoKey) {
            ReportError(fn, HC_ERR_STATE, "out of keys");
            return nullptr;
        }
        g->owner = base->owner;
        g->lodBase = base;
        g->lodLevel = top->a;
        auto it = std::lower_bound(shell->lods.begin(), shell->lods.end(), top->a,
                                   [](const LodLevel& l, int level) { return l.level < level; });
        if (it == shell->lods.end() || it->level != top->a) {
            it = shell->lods.insert(it, LodLevel{});
            it->level = top->a;
        }
        Geometry* raw = g.get();
        it->items.push_back(std::move(g));
        graph.Touch(*raw);
        return raw;
    }
    ReportError(fn, HC_ERR_STATE, "cannot insert geometry while a geometry, face, edge or vertex is open");
    return nullptr;
}

// ---------------------------------------------------------------------------
// Attribute targets
// ---------------------------------------------------------------------------

AttributeSet* AttributeTarget::Set(bool create) const {
    if (element != Element::None) return nullptr;
    if (segment) return create ? &segment->Attributes() : segment->attributes.get();
    if (geometry) {
        if (create && !geometry->attributes) geometry->attributes = std::make_unique<AttributeSet>();
        return geometry->attributes.get();
    }
    return nullptr;
}

OptionMap* AttributeTarget::UserOptions(bool create) const {
    if (element != Element::None) return nullptr;
    Entity* owner = segment ? static_cast<Entity*>(segment) : geometry;
    if (!owner) return nullptr;
    if (create && !owner->userOptions) owner->userOptions = std::make_unique<OptionMap>();
    return owner->userOptions.get();
}

ElementAttributes* AttributeTarget::ElementAttrs(bool create) const {
    if (element == Element::None || !geometry) return nullptr;
    ShellData* shell = geometry->Shell();
    if (!shell) return nullptr;
    if (!shell->elements) {
        if (!create) return nullptr;
        shell->elements = std::make_unique<ShellElements>();
    }
    ShellElements& el = *shell->elements;
    switch (element) {
        case Element::Face: {
            if (create) return &el.faces[a];
            auto it = el.faces.find(a);
            return it == el.faces.end() ? nullptr : &it->second;
        }
        case Element::Vertex: {
            if (create) return &el.vertices[a];
            auto it = el.vertices.find(a);
            return it == el.vertices.end() ? nullptr : &it->second;
        }
        case Element::Edge: {
            const auto k = std::make_pair(std::min(a, b), std::max(a, b));
            if (create) return &el.edges[k];
            auto it = el.edges.find(k);
            return it == el.edges.end() ? nullptr : &it->second;
        }
        case Element::None: break;
    }
    return nullptr;
}

void AttributeTarget::Prune() const {
    if (element == Element::None || !geometry) return;
    ShellData* shell = geometry->Shell();
    if (!shell || !shell->elements) return;
    ShellElements& el = *shell->elements;
    if (element == Element::Face) {
        auto it = el.faces.find(a);
        if (it != el.faces.end() && it->second.Empty()) el.faces.erase(it);
    } else if (element == Element::Vertex) {
        auto it = el.vertices.find(a);
        if (it != el.vertices.end() && it->second.Empty()) el.vertices.erase(it);
    } else {
        auto it = el.edges.find({std::min(a, b), std::max(a, b)});
        if (it != el.edges.end() && it->second.Empty()) el.edges.erase(it);
    }
    if (el.faces.empty() && el.vertices.empty() && el.edges.empty()) shell->elements.reset();
}

Entity* AttributeTarget::Owner() const {
    if (segment) return segment;
    return geometry;
}

bool RequireTarget(const char* fn, unsigned allowed, AttributeTarget& out) {
    out = AttributeTarget{};
    Graph& graph = Graph::Instance();
    Graph::State::Frame* top = TopFrame();
    using Kind = Graph::State::Frame::Kind;
    if (!top) {
        ReportError(fn, HC_ERR_STATE, "no segment is open");
        return false;
    }
    switch (top->kind) {
        case Kind::Segment:
            if (!(allowed & kTargetSegment)) break;
            out.segment = graph.FindSegment(top->key);
            if (!out.segment) {
                ReportError(fn, HC_ERR_STATE, "the open segment was deleted");
                return false;
            }
            return true;
        case Kind::Geometry:
        case Kind::Face:
        case Kind::Edge:
        case Kind::Vertex: {
            const bool isElement = top->kind != Kind::Geometry;
            if (!(allowed & (isElement ? kTargetElement : kTargetGeometry))) break;
            out.geometry = graph.FindGeometry(top->key);
            if (!out.geometry) {
                ReportError(fn, HC_ERR_STATE, "the open geometry was deleted");
                return false;
            }
            out.element = top->kind == Kind::Face     ? AttributeTarget::Element::Face
                          : top->kind == Kind::Edge   ? AttributeTarget::Element::Edge
                          : top->kind == Kind::Vertex ? AttributeTarget::Element::Vertex
                                                      : AttributeTarget::Element::None;
            out.a = top->a;
            out.b = top->b;
            return true;
        }
        case Kind::Lod: break;
    }
    static const char* const kNames[] = {"segment", "geometry", "face", "edge", "vertex", "LOD"};
    ReportError(fn, HC_ERR_STATE,
                std::string("not valid while a ") + kNames[static_cast<int>(top->kind)] + " is open");
    return false;
}

void ReportBadOption(const char* fn, std::string_view what, std::string_view text,
                     const std::string& detail) {
    ReportError(fn, HC_ERR_OPTION,
                "bad " + std::string(what) + " '" + std::string(text) + "': " + detail);
}

bool TextureExists(std::string_view name) {
    return std::as_const(Graph::Instance()).Defs().FindTexture(name) != nullptr;
}

}  // namespace ketra::hc::detail
