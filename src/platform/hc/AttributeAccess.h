// AttributeAccess.h — shared plumbing of the attribute set/unset/show calls.
#pragma once

#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"

#include <optional>
#include <string>

namespace ketra::hc::detail {

inline bool NullArg(const char* fn, const void* p, const char* what) {
    if (p) return false;
    ReportError(fn, HC_ERR_ARGUMENT, std::string("null ") + what);
    return true;
}

// Net attributes of the open segment (count 0) or along a key path.
inline bool NetOf(const char* fn, int count, const HC_KEY* keys, NetAttributes& net) {
    std::string err;
    if (!Graph::Instance().NetAlongPath(count, keys, net, &err)) {
        ReportError(fn, count == 0 ? HC_ERR_STATE : HC_ERR_KEY, err);
        return false;
    }
    return true;
}

// Runs `change` on the target's attribute set and records the change.
template <typename F>
bool ModifySet(const char* fn, unsigned allowed, F&& change) {
    AttributeTarget t;
    if (!RequireTarget(fn, allowed, t)) return false;
    AttributeSet* set = t.Set(true);
    if (!set) return false;
    change(*set);
    if (t.segment && set->Empty()) t.segment->attributes.reset();
    Graph::Instance().Touch(*t.Owner());
    return true;
}

// The target's local attribute set for showing (null when none, no error).
inline const AttributeSet* LocalSet(const char* fn, unsigned allowed, bool* ok = nullptr) {
    AttributeTarget t;
    const bool valid = RequireTarget(fn, allowed, t);
    if (ok) *ok = valid;
    return valid ? t.Set(false) : nullptr;
}

inline void NotSet(const char* fn, const char* what) {
    ReportError(fn, HC_ERR_STATE, std::string("no ") + what + " is set here");
}

// A show call of a local attribute: clears `out`, then writes `text(set)` into it when
// `isSet(set)` holds for the target's attribute set, else reports what is not set.
template <typename IsSet, typename Text>
void ShowLocal(const char* fn, unsigned allowed, char* out, const char* what, IsSet&& isSet,
               Text&& text) {
    if (NullArg(fn, out, "output")) return;
    out[0] = '\0';
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, allowed, &ok);
    if (!ok) return;
    if (!a || !isSet(*a)) return NotSet(fn, what);
    CopyOut(text(*a), out);
}

// A show call of a net attribute (of the open segment for count 0, else along `keys`):
// clears `out`, then writes `text(net)` into it.
template <typename Text>
void ShowNet(const char* fn, int count, const HC_KEY* keys, char* out, Text&& text) {
    if (NullArg(fn, out, "output")) return;
    out[0] = '\0';
    NetAttributes net;
    if (NetOf(fn, count, keys, net)) CopyOut(text(net), out);
}

}  // namespace ketra::hc::detail
