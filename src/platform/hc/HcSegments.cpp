// HC_* calls on segments, keys, includes and styles.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

using Frame = Graph::State::Frame;

bool NullArg(const char* fn, const void* p, const char* what) {
    if (p) return false;
    ReportError(fn, HC_ERR_ARGUMENT, std::string("null ") + what);
    return true;
}

// Opens or creates; "" makes a nameless child of the open segment.
Segment* OpenOrCreate(const char* fn, const char* segment) {
    if (NullArg(fn, segment, "segment name")) return nullptr;
    Graph& graph = Graph::Instance();
    if (Trim(segment).empty()) {
        Segment* parent = graph.OpenSegment();
        if (!parent) {
            if (!St().open.empty()) {
                ReportError(fn, HC_ERR_STATE, "the open segment was deleted");
                return nullptr;
            }
            parent = &graph.Root();
        }
        Segment* s = CreateChild(*parent, "");
        if (!s) ReportError(fn, HC_ERR_STATE, "out of keys");
        return s;
    }
    std::string err;
    Segment* s = graph.Resolve(segment, true, &err);
    if (!s) ReportError(fn, HC_ERR_PATH, err);
    return s;
}

bool SegmentOnTop(const char* fn) {
    Frame* top = TopFrame();
    if (!top) {
        ReportError(fn, HC_ERR_STATE, "no segment is open");
        return false;
    }
    if (top->kind != Frame::Kind::Segment) {
        ReportError(fn, HC_ERR_STATE, "a geometry, face, edge, vertex or LOD is still open");
        return false;
    }
    return true;
}

HC_KEY AddReference(const char* fn, Segment* target, EntityKind kind) {
    if (!target) return kNoKey;
    if (!SegmentOnTop(fn)) return kNoKey;
    Segment* owner = RequireOpenSegment(fn);
    if (!owner) return kNoKey;
    if (kind == EntityKind::Include && IsInSubtree(*owner, *target)) {
        // Including an ancestor (or itself) would make the drawn tree infinite.
        ReportError(fn, HC_ERR_PATH, "a segment cannot include itself or one of its owners");
        return kNoKey;
    }
    if (kind == EntityKind::Style && target == owner) {
        ReportError(fn, HC_ERR_PATH, "a segment cannot style itself");
        return kNoKey;
    }
    auto ref = std::make_unique<Reference>();
    ref->kind = kind;
    ref->target = target;
    ref->owner = owner;
    if (Register(*ref) == kNoKey) {
        ReportError(fn, HC_ERR_STATE, "out of keys");
        return kNoKey;
    }
    Reference* raw = ref.get();
    raw->indexInTarget = target->referencedBy.size();
    target->referencedBy.push_back(raw);
    (kind == EntityKind::Include ? owner->includes : owner->styles).push_back(std::move(ref));
    Graph::Instance().Touch(*raw);
    return raw->key;
}

HC_KEY ShowReferenced(const char* fn, HC_KEY key, char* pathname, EntityKind kind) {
    if (pathname) pathname[0] = '\0';
    Entity* e = FindKey(fn, key);
    if (!e) return kNoKey;
    if (e->kind != kind) {
        ReportError(fn, HC_ERR_KEY, "key " + std::to_string(key) + " is not " +
                                        (kind == EntityKind::Include ? "an include" : "a style"));
        return kNoKey;
    }
    const Segment* t = static_cast<Reference*>(e)->target;
    if (pathname) CopyOut(Graph::Instance().PathName(*t), pathname);
    return t->VisibleKey();
}

const char* KeyTypeName(const Entity& e) {
    switch (e.kind) {
        case EntityKind::Segment: return "segment";
        case EntityKind::Include: return "include";
        case EntityKind::Style: return "style";
        case EntityKind::Geometry: return GeometryKindName(static_cast<const Geometry&>(e).type);
    }
    return "invalid";
}

// Counts what `filter` names in a segment (or item) for the existence calls.
int CountExistence(const char* fn, const Entity& e, std::string_view filter) {
    std::vector<OptionItem> items;
    std::string err;
    if (!ParseOptionList(filter, items, &err) || items.empty()) {
        ReportBadOption(fn, "existence filter", filter, err.empty() ? "empty filter" : err);
        return 0;
    }
    int total = 0;
    const Segment* seg = e.kind == EntityKind::Segment ? static_cast<const Segment*>(&e) : nullptr;
    const AttributeSet* attrs = nullptr;
    if (seg) attrs = seg->attributes.get();
    else if (e.kind == EntityKind::Geometry) attrs = static_cast<const Geometry&>(e).attributes.get();
    for (const OptionItem& it : items) {
        if (it.name == "self") {
            total += 1;
            continue;
        }
        if (it.hasValue) {
            // One option of a multi-valued attribute: "user option = from".
            const OptionMap* map = nullptr;
            const std::string& n = it.name;
            std::string_view value = it.value;
            std::string_view inner;
            if (StripParentheses(value, inner)) value = inner;
            if (n == "user option" || n == "user options") map = e.userOptions.get();
            else if (attrs) {
                if (n == "rendering option" || n == "rendering options") map = &attrs->renderingOptions;
                else if (n == "heuristic" || n == "heuristics") map = &attrs->heuristics;
                else if (n == "callback" || n == "callbacks") map = &attrs->callbacks;
                else if (n == "text font") map = &attrs->textFont;
            }
            if (!map && n != "user option" && n != "user options" && n != "rendering option" &&
                n != "rendering options" && n != "heuristic" && n != "heuristics" &&
                n != "callback" && n != "callbacks" && n != "text font") {
                ReportBadOption(fn, "existence filter", filter, "'" + n + "' takes no value");
                return 0;
            }
            if (map && map->Has(value)) total += 1;
            continue;
        }
        ContentFilter f;
        if (!ParseContentFilter(fn, it.name, f)) return 0;
        if (seg) {
            if (f.segments) total += static_cast<int>(seg->children.size());
            if (f.includes) total += static_cast<int>(seg->includes.size());
            if (f.styles) total += static_cast<int>(seg->styles.size());
            if (f.geometry)
                for (const auto& g : seg->geometry)
                    if (f.geometry & (1u << static_cast<int>(g->type))) ++total;
        } else if (e.kind == EntityKind::Geometry && f.geometry) {
            const auto& g = static_cast<const Geometry&>(e);
            if (f.geometry & (1u << static_cast<int>(g.type))) ++total;
        }
        for (int a = 0; a < static_cast<int>(AttributeKind::Count); ++a)
            if ((f.attributes & (1u << a)) && HasAttribute(attrs, e.userOptions.get(), static_cast<AttributeKind>(a)))
                    ++total;
    }
    return total;
}

}  // namespace

extern "C" {

HC_KEY HC_Open_Segment(const char* segment) {
    const char* fn = __func__;
    Frame* top = TopFrame();
    if (top && top->kind != Frame::Kind::Segment) {
        ReportError(fn, HC_ERR_STATE, "a geometry, face, edge, vertex or LOD is open");
        return kNoKey;
    }
    Segment* s = OpenOrCreate(fn, segment);
    if (!s) return kNoKey;
    St().open.push_back(Frame{Frame::Kind::Segment, s->key});
    return s->VisibleKey();
}

void HC_Open_Segment_By_Key(HC_KEY key) {
    const char* fn = __func__;
    Frame* top = TopFrame();
    if (top && top->kind != Frame::Kind::Segment) {
        ReportError(fn, HC_ERR_STATE, "a geometry, face, edge, vertex or LOD is open");
        return;
    }
    Segment* s = FindSegmentKey(fn, key);
    if (!s) return;
    St().open.push_back(Frame{Frame::Kind::Segment, s->key});
}

void HC_Close_Segment(void) {
    if (!SegmentOnTop(__func__)) return;
    St().open.pop_back();
}

HC_KEY HC_Create_Segment(const char* segment) {
    Segment* s = OpenOrCreate(__func__, segment);
    return s ? s->VisibleKey() : kNoKey;
}

void HC_Show_Open_Segment(char* segment) {
    const char* fn = __func__;
    if (NullArg(fn, segment, "output")) return;
    segment[0] = '\0';
    if (Segment* s = RequireOpenSegment(fn)) CopyOut(Graph::Instance().PathName(*s), segment);
}

HC_KEY HC_KShow_Open_Segment(void) {
    Segment* s = Graph::Instance().OpenSegment();
    return s ? s->VisibleKey() : kNoKey;
}

void HC_Show_Pathname_Expansion(const char* pathname, char* expansion) {
    const char* fn = __func__;
    if (NullArg(fn, pathname, "path") || NullArg(fn, expansion, "output")) return;
    expansion[0] = '\0';
    std::string err;
    Segment* s = Graph::Instance().Resolve(pathname, false, &err);
    if (!s) {
        ReportError(fn, HC_ERR_PATH, err);
        return;
    }
    CopyOut(Graph::Instance().PathName(*s), expansion);
}

void HC_Show_Segment(HC_KEY key, char* pathname) {
    const char* fn = __func__;
    if (NullArg(fn, pathname, "output")) return;
    pathname[0] = '\0';
    if (Segment* s = FindSegmentKey(fn, key)) CopyOut(Graph::Instance().PathName(*s), pathname);
}

void HC_Show_Segment_Name(HC_KEY key, char* name) {
    const char* fn = __func__;
    if (NullArg(fn, name, "output")) return;
    name[0] = '\0';
    if (Segment* s = FindSegmentKey(fn, key)) CopyOut(s->name, name);
}

void HC_Delete_Segment(const char* segment) {
    const char* fn = __func__;
    if (NullArg(fn, segment, "segment name")) return;
    std::vector<Segment*> segs;
    if (!ExpandSegmentSpec(fn, segment, segs)) return;
    Graph& graph = Graph::Instance();
    std::vector<Key> keys;
    for (Segment* s : segs) keys.push_back(s->key);
    for (Key k : keys) {
        Segment* s = graph.FindSegment(k);
        if (!s) continue;
        if (!s->owner) {
            ReportError(fn, HC_ERR_PATH, "the root segment cannot be deleted");
            continue;
        }
        if (IsOpen(*s)) {
            ReportError(fn, HC_ERR_STATE, "segment '" + graph.PathName(*s) + "' is open");
            continue;
        }
        DeleteSegment(*s);
    }
}

void HC_Delete_By_Key(HC_KEY key) {
    const char* fn = __func__;
    Entity* e = FindKey(fn, key);
    if (!e) return;
    Graph& graph = Graph::Instance();
    switch (e->kind) {
        case EntityKind::Segment: {
            auto* s = static_cast<Segment*>(e);
            if (!s->owner) {
                ReportError(fn, HC_ERR_PATH, "the root segment cannot be deleted");
                return;
            }
            if (IsOpen(*s)) {
                ReportError(fn, HC_ERR_STATE, "segment '" + graph.PathName(*s) + "' is open");
                return;
            }
            DeleteSegment(*s);
            return;
        }
        case EntityKind::Include:
        case EntityKind::Style: DeleteReference(*static_cast<Reference*>(e)); return;
        case EntityKind::Geometry: {
            auto* g = static_cast<Geometry*>(e);
            // An open item (geometry, face, edge, vertex or LOD frames name it) stays.
            for (const Frame& f : St().open) {
                if (f.kind != Frame::Kind::Segment && f.key == g->key) {
                    ReportError(fn, HC_ERR_STATE, "the geometry is open");
                    return;
                }
            }
            DeleteGeometry(*g);
            return;
        }
    }
}

void HC_Rename_Segment(const char* old_name, const char* new_name) {
    const char* fn = __func__;
    if (NullArg(fn, old_name, "old name") || NullArg(fn, new_name, "new name")) return;
    Graph& graph = Graph::Instance();
    std::string err;
    Segment* s = graph.Resolve(old_name, false, &err);
    if (!s) {
        ReportError(fn, HC_ERR_PATH, err);
        return;
    }
    if (!s->owner) {
        ReportError(fn, HC_ERR_PATH, "the root segment cannot be renamed");
        return;
    }
    std::string_view nn = Trim(new_name);
    Segment* newOwner = s->owner;
    std::string_view leaf = nn;
    const size_t slash = nn.rfind('/');
    if (slash != std::string_view::npos) {
        const std::string_view ownerPath = slash == 0 ? std::string_view("/") : nn.substr(0, slash);
        newOwner = graph.Resolve(ownerPath, true, &err);
        if (!newOwner) {
            ReportError(fn, HC_ERR_PATH, err);
            return;
        }
        leaf = Trim(nn.substr(slash + 1));
    }
    if (leaf.empty() || leaf == "." || leaf == ".." || leaf == "..." ||
        leaf.find('*') != std::string_view::npos || leaf.front() == '@' || leaf.front() == '?') {
        ReportError(fn, HC_ERR_PATH, "bad new name '" + std::string(new_name) + "'");
        return;
    }
    if (IsInSubtree(*newOwner, *s)) {
        ReportError(fn, HC_ERR_PATH, "cannot move a segment into its own subtree");
        return;
    }
    Segment* clash = newOwner->FindChild(leaf);
    if (clash && clash != s) {
        ReportError(fn, HC_ERR_PATH, "segment '" + graph.PathName(*clash) + "' already exists");
        return;
    }
    MoveSegment(*s, *newOwner, leaf);
}

void HC_Move_By_Key(HC_KEY key, const char* new_owner) {
    const char* fn = __func__;
    if (NullArg(fn, new_owner, "new owner")) return;
    Entity* e = FindKey(fn, key);
    if (!e) return;
    Graph& graph = Graph::Instance();
    std::string err;
    Segment* owner = graph.Resolve(new_owner, true, &err);
    if (!owner) {
        ReportError(fn, HC_ERR_PATH, err);
        return;
    }
    if (e->kind == EntityKind::Geometry) {
        auto* g = static_cast<Geometry*>(e);
        if (g->lodBase) {
            ReportError(fn, HC_ERR_KEY, "a level-of-detail item cannot be moved");
            return;
        }
        MoveGeometry(*g, *owner);
        return;
    }
    if (e->kind == EntityKind::Segment) {
        auto* s = static_cast<Segment*>(e);
        if (!s->owner || IsInSubtree(*owner, *s)) {
            ReportError(fn, HC_ERR_PATH, "cannot move a segment into its own subtree");
            return;
        }
        Segment* clash = s->name.empty() ? nullptr : owner->FindChild(s->name);
        if (clash && clash != s) {
            ReportError(fn, HC_ERR_PATH, "segment '" + graph.PathName(*clash) + "' already exists");
            return;
        }
        MoveSegment(*s, *owner, s->name);
        return;
    }
    ReportError(fn, HC_ERR_KEY, "includes and styles cannot be moved");
}

HC_KEY HC_Include_Segment(const char* segment) {
    Segment* target = OpenOrCreate(__func__, segment);
    return AddReference(__func__, target, EntityKind::Include);
}

HC_KEY HC_Include_Segment_By_Key(HC_KEY segment) {
    return AddReference(__func__, FindSegmentKey(__func__, segment), EntityKind::Include);
}

HC_KEY HC_Style_Segment(const char* segment) {
    Segment* target = OpenOrCreate(__func__, segment);
    return AddReference(__func__, target, EntityKind::Style);
}

HC_KEY HC_Style_Segment_By_Key(HC_KEY segment) {
    return AddReference(__func__, FindSegmentKey(__func__, segment), EntityKind::Style);
}

HC_KEY HC_Show_Include_Segment(HC_KEY include_key, char* pathname) {
    return ShowReferenced(__func__, include_key, pathname, EntityKind::Include);
}

HC_KEY HC_Show_Style_Segment(HC_KEY style_key, char* pathname) {
    return ShowReferenced(__func__, style_key, pathname, EntityKind::Style);
}

void HC_Show_Key_Type(HC_KEY key, char* type) {
    if (NullArg(__func__, type, "output")) return;
    const Entity* e = Graph::Instance().Find(key);
    CopyOut(e ? KeyTypeName(*e) : "invalid", type);
}

HC_KEY HC_Show_Owner_By_Key(HC_KEY key, char* owner) {
    if (owner) owner[0] = '\0';
    Entity* e = FindKey(__func__, key);
    if (!e) return kNoKey;
    if (!e->owner) return kNoKey;
    if (owner) CopyOut(Graph::Instance().PathName(*e->owner), owner);
    return e->owner->VisibleKey();
}

HC_KEY HC_KShow_Owner_By_Key(HC_KEY key) {
    Entity* e = FindKey(__func__, key);
    return e && e->owner ? e->owner->VisibleKey() : kNoKey;
}

HC_KEY HC_Show_Original_Key(HC_KEY key) {
    Entity* e = FindKey(__func__, key);
    return e ? e->key : kNoKey;
}

HC_KEY HC_Renumber_Key(HC_KEY key, HC_KEY new_key, const char* scope) {
    const char* fn = __func__;
    if (NullArg(fn, scope, "scope")) return kNoKey;
    const std::string sc = NormalizeName(scope);
    if (sc != "local" && sc != "global" && sc != "l" && sc != "g") {
        ReportError(fn, HC_ERR_OPTION, "scope must be \"local\" or \"global\", not '" + std::string(scope) + "'");
        return kNoKey;
    }
    if (new_key < 0 || new_key > 0x7fffffffL) {
        ReportError(fn, HC_ERR_ARGUMENT, "user keys must lie in 0..2147483647, not " + std::to_string(new_key));
        return kNoKey;
    }
    Entity* e = FindKey(fn, key);
    if (!e) return kNoKey;
    if (!e->owner) {
        ReportError(fn, HC_ERR_KEY, "the root segment cannot be renumbered");
        return kNoKey;
    }
    const bool local = sc[0] == 'l';
    Graph::State& st = St();
    Segment* owner = e->owner;
    if (local) {
        if (owner->localKeys) {
            auto it = owner->localKeys->find(new_key);
            if (it != owner->localKeys->end() && it->second != e) {
                ReportError(fn, HC_ERR_KEY, "local key " + std::to_string(new_key) + " is in use");
                return kNoKey;
            }
        }
    } else {
        auto it = st.globalUserKeys.find(new_key);
        if (it != st.globalUserKeys.end() && it->second != e) {
            ReportError(fn, HC_ERR_KEY, "global key " + std::to_string(new_key) + " is in use");
            return kNoKey;
        }
    }
    // Drop the previous user key.
    if (e->hasUserKey) {
        if (e->userKeyLocal) {
            if (owner->localKeys) owner->localKeys->erase(e->userKey);
        } else {
            st.globalUserKeys.erase(e->userKey);
        }
    }
    if (local) {
        if (!owner->localKeys) owner->localKeys = std::make_unique<std::unordered_map<Key, Entity*>>();
        (*owner->localKeys)[new_key] = e;
    } else {
        st.globalUserKeys[new_key] = e;
    }
    e->userKey = new_key;
    e->hasUserKey = true;
    e->userKeyLocal = local;
    Graph::Instance().Touch(*e);
    return new_key;
}

int HC_Show_Existence(const char* filter) {
    const char* fn = __func__;
    if (NullArg(fn, filter, "filter")) return 0;
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetSegment | kTargetGeometry, t)) return 0;
    return CountExistence(fn, *t.Owner(), filter);
}

int HC_QShow_Existence(const char* segment, const char* filter) {
    const char* fn = __func__;
    if (NullArg(fn, segment, "segment") || NullArg(fn, filter, "filter")) return 0;
    Segment* s = Graph::Instance().Resolve(segment, false, nullptr);
    if (!s) return 0;  // a missing segment has nothing
    return CountExistence(fn, *s, filter);
}

int HC_Show_Existence_By_Key(HC_KEY key, const char* filter) {
    const char* fn = __func__;
    if (NullArg(fn, filter, "filter")) return 0;
    Entity* e = Graph::Instance().Find(key);
    if (!e) {
        if (NormalizeName(filter) == "self") return 0;
        ReportError(fn, HC_ERR_KEY, "unknown or deleted key " + std::to_string(key));
        return 0;
    }
    return CountExistence(fn, *e, filter);
}

}  // extern "C"
