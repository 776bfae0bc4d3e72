#include "host/JsonDocument.h"

#include "platform/sys/HugePages.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace ketra::host {

const JsonValue* JsonValue::Find(const std::string& key) const {
    for (std::size_t i = 0; i < keys.size() && i < items.size(); ++i)
        if (keys[i] == key)
            return &items[i];
    return nullptr;
}

const char* JsonValue::TypeName(Type type) {
    switch (type) {
    case Type::Null: return "null";
    case Type::Boolean: return "a boolean";
    case Type::Number: return "a number";
    case Type::String: return "a string";
    case Type::Array: return "an array";
    case Type::Object: return "an object";
    }
    return "?";
}

namespace {

// Iterator over the text that counts how many bytes the lexer has consumed, so the
// SAX handler knows where each token ended.
class CountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* p, std::size_t* consumed) : m_p(p), m_consumed(consumed) {}
    reference operator*() const { return *m_p; }
    CountingIterator& operator++() {
        ++m_p;
        if (m_consumed)
            ++*m_consumed;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator old = *this;
        ++*this;
        return old;
    }
    bool operator==(const CountingIterator& o) const { return m_p == o.m_p; }
    bool operator!=(const CountingIterator& o) const { return m_p != o.m_p; }

private:
    const char* m_p = nullptr;
    std::size_t* m_consumed = nullptr;
};

class PositionIndex {
public:
    explicit PositionIndex(const std::string& text) {
        m_lineStarts.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n')
                m_lineStarts.push_back(i + 1);
    }
    SourcePosition At(std::size_t offset) const {
        auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
        std::size_t line = static_cast<std::size_t>(it - m_lineStarts.begin());
        SourcePosition p;
        p.line = static_cast<int>(line);
        p.column = static_cast<int>(offset - m_lineStarts[line - 1] + 1);
        return p;
    }

private:
    std::vector<std::size_t> m_lineStarts;
};

class Builder : public nlohmann::json_sax<nlohmann::json> {
public:
    Builder(const std::string& text, const std::size_t* consumed)
        : m_text(text), m_consumed(consumed), m_index(text) {}

    JsonValue root;
    std::string error;
    std::size_t errorOffset = 0;

    bool null() override { return Scalar(JsonValue::Type::Null); }
    bool boolean(bool v) override {
        JsonValue* j = Place(JsonValue::Type::Boolean);
        if (j)
            j->boolean = v;
        return j != nullptr;
    }
    bool number_integer(number_integer_t v) override { return Number(static_cast<double>(v), true); }
    bool number_unsigned(number_unsigned_t v) override { return Number(static_cast<double>(v), true); }
    bool number_float(number_float_t v, const string_t&) override { return Number(v, false); }
    bool string(string_t& v) override {
        JsonValue* j = Place(JsonValue::Type::String);
        if (j)
            j->string = v;
        return j != nullptr;
    }
    bool binary(binary_t&) override { return Fail("binary values are not JSON text"); }
    bool start_object(std::size_t) override { return Open(JsonValue::Type::Object); }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(JsonValue::Type::Array); }
    bool end_array() override { return Close(); }
    bool key(string_t& k) override {
        JsonValue* obj = m_stack.back();
        // The lexer stops right after the closing quote; walk back over the key text.
        std::size_t end = *m_consumed;
        std::size_t start = TokenStart(end);
        if (!m_keySets.back().insert(k).second) {
            errorOffset = start;
            return Fail("duplicate key \"" + k + "\"");
        }
        obj->keys.push_back(k);
        obj->keyPositions.push_back(m_index.At(start));
        m_pendingKey = true;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& ex) override {
        errorOffset = position > 0 ? position - 1 : 0;
        std::string what = ex.what();
        // nlohmann's text is "[json.exception.parse_error.101] parse error at line 1, column 2:
        // syntax error while parsing value - invalid literal; last read: 'x'"; keep the reason.
        auto colon = what.find(": ");
        if (colon != std::string::npos)
            what = what.substr(colon + 2);
        else if (!what.empty() && what[0] == '[' && what.find("] ") != std::string::npos)
            what = what.substr(what.find("] ") + 2);
        error = what;
        return false;
    }

private:
    static constexpr std::size_t kMaxDepth = 256;

    bool Fail(const std::string& message) {
        if (error.empty()) {
            error = message;
            if (errorOffset == 0)
                errorOffset = *m_consumed > 0 ? *m_consumed - 1 : 0;
        }
        return false;
    }

    // Start of the token that ends just before offset `end` (one past its last byte),
    // skipping back over a string or a bare literal.
    std::size_t TokenStart(std::size_t end) const {
        if (end == 0 || end > m_text.size())
            return 0;
        std::size_t i = end - 1;
        // A number token is followed by one byte of look-ahead that the lexer consumed.
        if (m_text[i] == '"') {
            if (i == 0)
                return 0;
            std::size_t j = i - 1;
            while (j > 0) {
                if (m_text[j] == '"') {
                    std::size_t backslashes = 0;
                    for (std::size_t k = j; k > 0 && m_text[k - 1] == '\\'; --k)
                        ++backslashes;
                    if (backslashes % 2 == 0)
                        return j;
                }
                --j;
            }
            return 0;
        }
        while (i > 0 && !IsTokenChar(m_text[i]))
            --i;
        while (i > 0 && IsTokenChar(m_text[i - 1]))
            --i;
        return i;
    }
    static bool IsTokenChar(char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               c == '-' || c == '+' || c == '.';
    }

    JsonValue* Place(JsonValue::Type type) {
        std::size_t end = *m_consumed;
        std::size_t start = (type == JsonValue::Type::Object || type == JsonValue::Type::Array)
                                ? (end > 0 ? end - 1 : 0)
                                : TokenStart(end);
        JsonValue* slot = nullptr;
        if (m_stack.empty()) {
            slot = &root;
        } else {
            JsonValue* parent = m_stack.back();
            if (parent->type == JsonValue::Type::Object) {
                if (!m_pendingKey)
                    return nullptr;
                m_pendingKey = false;
            }
            parent->items.emplace_back();
            slot = &parent->items.back();
        }
        slot->type = type;
        slot->position = m_index.At(start);
        return slot;
    }
    bool Scalar(JsonValue::Type type) { return Place(type) != nullptr; }
    bool Number(double v, bool integer) {
        JsonValue* j = Place(JsonValue::Type::Number);
        if (!j)
            return false;
        j->number = v;
        j->isInteger = integer;
        return true;
    }
    bool Open(JsonValue::Type type) {
        if (m_stack.size() >= kMaxDepth)
            return Fail("nesting deeper than 256 levels");
        JsonValue* j = Place(type);
        if (!j)
            return false;
        // A large model's tree takes hundreds of megabytes: huge pages as the heap grows.
        ketra::sys::AdviseHeapGrowth(j);
        m_stack.push_back(j);
        m_keySets.emplace_back();
        return true;
    }
    bool Close() {
        if (m_stack.empty())
            return false;
        // A closed container never grows again: give back what doubling reserved.
        JsonValue* j = m_stack.back();
        j->items.shrink_to_fit();
        j->keys.shrink_to_fit();
        j->keyPositions.shrink_to_fit();
        m_stack.pop_back();
        m_keySets.pop_back();
        return true;
    }

    const std::string& m_text;
    const std::size_t* m_consumed;
    PositionIndex m_index;
    std::vector<JsonValue*> m_stack; // pointers stay valid: a container only grows while closed children are final
    // The keys of each open object (empty for arrays), for the duplicate check in constant time.
    std::vector<std::unordered_set<std::string>> m_keySets;
    bool m_pendingKey = false;
};

// Counts the values in `text` without building anything (every value but the first follows
// a '[', ',' or ':' outside strings, so this is an upper bound), and returns the offset of
// the first value beyond `limit`, or npos. A tree costs about 150 bytes per value, so a
// file of bare numbers would otherwise take a hundred times its size in memory.
std::size_t FirstValueBeyond(const std::string& text, std::size_t limit) {
    std::size_t values = 1;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == ',' || c == ':') {
            if (++values > limit)
                return i;
        }
    }
    return std::string::npos;
}

} // namespace

JsonParseResult ParseJsonWithPositions(const std::string& text) {
    JsonParseResult result;
    if (const std::size_t beyond = FirstValueBeyond(text, kMaxJsonValues); beyond != std::string::npos) {
        result.errorPosition = PositionIndex(text).At(beyond);
        result.error = "more than " + std::to_string(kMaxJsonValues) + " values";
        return result;
    }
    std::size_t consumed = 0;
    Builder builder(text, &consumed);
    CountingIterator first(text.data(), &consumed);
    CountingIterator last(text.data() + text.size(), nullptr);
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(first, last, &builder);
    } catch (const std::exception& e) {
        builder.error = e.what();
    }
    if (!ok) {
        PositionIndex index(text);
        result.errorPosition = index.At(std::min(builder.errorOffset, text.size()));
        result.error = builder.error.empty() ? "malformed JSON" : builder.error;
        return result;
    }
    result.ok = true;
    result.root = std::move(builder.root);
    return result;
}

} // namespace ketra::host
