// A JSON document that remembers where each value stood in its file, so that a model
// file's semantic errors ("unknown key", "wrong type") can name the line and column.
// Parsing is nlohmann::json's; this only adds positions.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ketra::host {

struct SourcePosition {
    int line = 1;   // 1-based
    int column = 1; // 1-based, in bytes
};

class JsonValue {
public:
    enum class Type { Null, Boolean, Number, String, Array, Object };

    Type type = Type::Null;
    SourcePosition position; // where the value starts
    bool boolean = false;
    double number = 0;
    bool isInteger = false; // written without fraction or exponent
    std::string string;
    // Array elements, or an object's member values in file order; for an object,
    // keys[i] names items[i] and keyPositions[i] is where that key starts.
    std::vector<JsonValue> items;
    std::vector<std::string> keys;
    std::vector<SourcePosition> keyPositions;

    const JsonValue* Find(const std::string& key) const;
    static const char* TypeName(Type type);
};

struct JsonParseResult {
    bool ok = false;
    JsonValue root;
    SourcePosition errorPosition;
    std::string error; // without the position
};

// The most values (scalars, arrays and objects) a document may hold: a generated plant of
// 200,000 elements has about 2.5 million. The tree costs about 140 bytes a value.
constexpr std::size_t kMaxJsonValues = 4000000;

// Parses text as one JSON document. Depth is limited (256) so hostile files cannot
// exhaust the stack, and the value count (kMaxJsonValues, checked before anything is built)
// so they cannot exhaust memory; duplicate keys are reported as errors.
JsonParseResult ParseJsonWithPositions(const std::string& text);

} // namespace ketra::host
