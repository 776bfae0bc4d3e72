// Strict reading of a JSON file's objects for the model and results readers: every key must
// be known, values have the documented types, and the first fault ends the read with its
// position (JsonReadError, caught by the reader that turns it into "file:line:column: what").
// Internal to the host library.
#pragma once

#include "host/JsonDocument.h"

#include <array>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>
#include <string>

namespace ketra::host {

// Raised inside a reader and turned into its load result's message.
struct JsonReadError {
    SourcePosition position;
    std::string what;
};

[[noreturn]] inline void Fail(const SourcePosition& p, const std::string& what) { throw JsonReadError{p, what}; }

inline std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// Reads one object's members, checking that every key is known and the required ones
// are present.
class ObjectReader {
public:
    ObjectReader(const JsonValue& v, const std::string& what, std::set<std::string> known)
        : m_v(v), m_what(what) {
        if (v.type != JsonValue::Type::Object)
            Fail(v.position, what + " must be an object, not " + JsonValue::TypeName(v.type));
        for (std::size_t i = 0; i < v.keys.size(); ++i)
            if (!known.count(v.keys[i]))
                Fail(v.keyPositions[i], "unknown key " + Quote(v.keys[i]) + " in " + what);
    }

    const JsonValue* Optional(const std::string& key) const { return m_v.Find(key); }
    const JsonValue& Required(const std::string& key) const {
        const JsonValue* v = m_v.Find(key);
        if (!v)
            Fail(m_v.position, m_what + " needs " + Quote(key));
        return *v;
    }

    double Number(const std::string& key, double fallback, bool required = false) const {
        const JsonValue* v = required ? &Required(key) : Optional(key);
        if (!v)
            return fallback;
        return NumberOf(*v, key);
    }
    double PositiveNumber(const std::string& key, double fallback, bool required = false) const {
        const JsonValue* v = required ? &Required(key) : Optional(key);
        if (!v)
            return fallback;
        double d = NumberOf(*v, key);
        if (!(d > 0))
            Fail(v->position, Quote(key) + " must be greater than zero, not " + Format(d));
        return d;
    }
    int Integer(const std::string& key, int fallback, bool required = false) const {
        const JsonValue* v = required ? &Required(key) : Optional(key);
        if (!v)
            return fallback;
        return IntegerOf(*v, key);
    }
    bool Boolean(const std::string& key, bool fallback) const {
        const JsonValue* v = Optional(key);
        if (!v)
            return fallback;
        if (v->type != JsonValue::Type::Boolean)
            Fail(v->position, Quote(key) + " must be true or false, not " + JsonValue::TypeName(v->type));
        return v->boolean;
    }
    std::string String(const std::string& key, const std::string& fallback) const {
        const JsonValue* v = Optional(key);
        if (!v)
            return fallback;
        if (v->type != JsonValue::Type::String)
            Fail(v->position, Quote(key) + " must be a string, not " + JsonValue::TypeName(v->type));
        return v->string;
    }
    std::array<double, 3> Vector(const std::string& key) const { return VectorOf(Required(key), key); }

    static double NumberOf(const JsonValue& v, const std::string& key) {
        if (v.type != JsonValue::Type::Number)
            Fail(v.position, Quote(key) + " must be a number, not " + JsonValue::TypeName(v.type));
        if (!std::isfinite(v.number))
            Fail(v.position, Quote(key) + " must be a finite number");
        return v.number;
    }
    static int IntegerOf(const JsonValue& v, const std::string& key) {
        double d = NumberOf(v, key);
        if (d != std::floor(d) || d < -2147483647.0 || d > 2147483647.0)
            Fail(v.position, Quote(key) + " must be a whole number, not " + Format(d));
        return static_cast<int>(d);
    }
    static std::array<double, 3> VectorOf(const JsonValue& v, const std::string& key) {
        if (v.type != JsonValue::Type::Array || v.items.size() != 3)
            Fail(v.position, Quote(key) + " must be an array of three numbers");
        std::array<double, 3> out{};
        for (int i = 0; i < 3; ++i)
            out[i] = NumberOf(v.items[i], key);
        return out;
    }
    static std::string Format(double d) {
        std::ostringstream s;
        s << d;
        return s.str();
    }

private:
    const JsonValue& m_v;
    std::string m_what;
};

inline void ForEachItem(const JsonValue& root, const std::string& key,
                 const std::function<void(const JsonValue&, std::size_t)>& fn) {
    const JsonValue* list = root.Find(key);
    if (!list)
        return;
    if (list->type != JsonValue::Type::Array)
        Fail(list->position, Quote(key) + " must be an array, not " + JsonValue::TypeName(list->type));
    for (std::size_t i = 0; i < list->items.size(); ++i)
        fn(list->items[i], i);
}

// Parses `text` as JSON and hands its root to `read`, which reads it with the helpers above.
// True when both succeed; otherwise `error` is "name:line:column: what" of the first fault.
template <class ReadFn>
bool ReadJsonFile(const std::string& text, const std::string& name, std::string& error, ReadFn&& read) {
    auto where = [&](const SourcePosition& p) {
        return name + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": ";
    };
    JsonParseResult json = ParseJsonWithPositions(text);
    if (!json.ok) {
        error = where(json.errorPosition) + json.error;
        return false;
    }
    try {
        read(json.root);
        return true;
    } catch (const JsonReadError& e) {
        error = where(e.position) + e.what;
        return false;
    }
}

} // namespace ketra::host
