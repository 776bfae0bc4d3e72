// HC_Read_Metafile: reads a Ketra scene file (docs/hmf-format.md) into a segment.
//
// The file is not trusted. It is read twice: first into a private scratch segment, where
// every statement goes through the same HC_* calls as the real read and every problem they
// report fails the read with the file's line number; the scratch segment is then deleted.
// Only a file that read cleanly is read a second time into the destination, so a truncated or
// malformed file creates nothing. References to segments outside the file are checked for
// form in the first pass and made only in the second.
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneFileNames.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/OptionParser.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <utility>

namespace ketra::hc {

namespace {

constexpr int kMaxDepth = 256; // nesting of segment and item blocks
constexpr size_t kMaxFileBytes = 1u << 31;

using hmf::Lexer;
using hmf::Token;

class Reader;
Reader* g_active = nullptr;

void CaptureError(int, int, int severity, const char* function, const char* message);

class Reader {
public:
    Reader(std::string_view data, std::string name, bool dryRun)
        : m_lexer(data), m_name(std::move(name)), m_dryRun(dryRun) {}

    bool Run(Key root) {
        if (!m_lexer.Next() || m_lexer.Tokens().size() != 2 || !IsWord(0, "KETRA-HMF") ||
            !IsWord(1, "1"))
            return Fail(m_lexer.Error().empty() ? "not a Ketra scene file (expected 'KETRA-HMF 1')"
                                                : m_lexer.Error());
        m_ordinals.push_back(root);
        HC_Open_Segment_By_Key(root);
        if (!Check())
            return false;
        ++m_opened;
        if (!Body(0, true))
            return false;
        HC_Close_Segment();
        --m_opened;
        if (!Check())
            return false;
        return References();
    }

    // Called from the error handler while this reader runs.
    void HcError(const char* function, const char* message) {
        if (m_hcError.empty())
            m_hcError = std::string(function) + ": " + message;
    }
    const std::string& Error() const { return m_error; }
    // Segment, geometry and LOD frames this reader left open after a failure.
    int Opened() const { return m_opened; }

private:
    struct Reference {
        Key owner;
        bool style;
        long ordinal; // -1 for a path
        std::string path;
        int line;
    };

    bool Fail(const std::string& message) {
        if (m_error.empty())
            m_error = m_name + ":" + std::to_string(m_lexer.LineNumber()) + ": " + message;
        return false;
    }
    // After every HC_* call: a reported error fails the read at this line.
    bool Check() {
        if (m_hcError.empty())
            return true;
        return Fail(m_hcError);
    }

    const std::vector<Token>& T() const { return m_lexer.Tokens(); }
    size_t N() const { return T().size(); }
    bool IsWord(size_t i, std::string_view w) const {
        return i < N() && T()[i].kind == Token::Kind::Word && T()[i].text == w;
    }
    bool NextLine() {
        if (m_lexer.Next())
            return true;
        if (!m_lexer.Error().empty())
            return Fail(m_lexer.Error());
        return Fail("the file ends early (truncated?): 'end-of-file' is missing");
    }

    bool Number(size_t i, double& out) {
        if (i >= N() || T()[i].kind != Token::Kind::Word)
            return Fail("expected a number as item " + std::to_string(i + 1));
        const std::string_view s = T()[i].text;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(out) ||
            std::fabs(out) > 3.0e38)
            return Fail("'" + std::string(s) + "' is not a finite number");
        return true;
    }
    bool Integer(size_t i, long& out) {
        if (i >= N() || T()[i].kind != Token::Kind::Word)
            return Fail("expected a whole number as item " + std::to_string(i + 1));
        const std::string_view s = T()[i].text;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size())
            return Fail("'" + std::string(s) + "' is not a whole number");
        return true;
    }
    bool Count(size_t i, size_t& out) {
        long v = 0;
        if (!Integer(i, v))
            return false;
        // Every counted entry takes at least two bytes of the file.
        if (v < 0 || static_cast<size_t>(v) > m_lexer.RemainingBytes() / 2 + 16)
            return Fail("count " + std::to_string(v) + " does not fit the rest of the file");
        out = static_cast<size_t>(v);
        return true;
    }
    bool Floats(size_t first, size_t count, float* out) {
        for (size_t k = 0; k < count; ++k) {
            double v = 0;
            if (!Number(first + k, v))
                return false;
            out[k] = static_cast<float>(v);
        }
        return true;
    }
    bool String(size_t i, std::string& out) {
        if (i >= N() || T()[i].kind != Token::Kind::String)
            return Fail("expected a quoted string as item " + std::to_string(i + 1));
        out = T()[i].value;
        if (out.find('\0') != std::string::npos)
            return Fail("a string holds a zero byte");
        return true;
    }
    bool Exactly(size_t n) {
        if (N() != n)
            return Fail("'" + std::string(T()[0].text) + "' takes " + std::to_string(n - 1) +
                        " values, found " + std::to_string(N() - 1));
        return true;
    }
    bool EndsWithOpen() const { return N() > 0 && T().back().kind == Token::Kind::Open; }

    // --- attributes (segment, item, or face/edge/vertex with `first` > 1) ---------------
    bool Attribute(size_t first, bool element) {
        const std::string_view key = T()[first].text;
        const size_t n = N() - first;
        std::string s;
        auto one = [&](auto&& set) -> bool {
            if (n != 2)
                return Fail("'" + std::string(key) + "' takes one quoted value");
            if (!String(first + 1, s))
                return false;
            set(s.c_str());
            return Check();
        };
        if (key == "color")
            return one([](const char* v) { HC_Set_Color(v); });
        if (key == "visibility")
            return one([](const char* v) { HC_Set_Visibility(v); });
        if (key == "color-index") {
            long index = 0;
            if (n != 3 || !String(first + 1, s) || !Integer(first + 2, index))
                return Fail("'color-index' takes a quoted channel list and a whole number");
            if (index < 0 || index > 1 << 20)
                return Fail("colour index " + std::to_string(index) + " is out of range");
            HC_Set_Color_By_Index(s.c_str(), static_cast<int>(index));
            return Check();
        }
        if (key == "normal" && element) {
            float v[3];
            if (n != 4 || !Floats(first + 1, 3, v))
                return Fail("'normal' takes three numbers");
            HC_Set_Normal(v[0], v[1], v[2]);
            return Check();
        }
        if (element)
            return Fail("'" + std::string(key) + "' cannot be set on a face, edge or vertex");
        if (key == "color-map")
            return one([](const char* v) { HC_Set_Color_Map(v); });
        if (key == "selectability")
            return one([](const char* v) { HC_Set_Selectability(v); });
        if (key == "line-pattern")
            return one([](const char* v) { HC_Set_Line_Pattern(v); });
        if (key == "edge-pattern")
            return one([](const char* v) { HC_Set_Edge_Pattern(v); });
        if (key == "face-pattern")
            return one([](const char* v) { HC_Set_Face_Pattern(v); });
        if (key == "marker-symbol")
            return one([](const char* v) { HC_Set_Marker_Symbol(v); });
        if (key == "text-alignment")
            return one([](const char* v) { HC_Set_Text_Alignment(v); });
        if (key == "text-font")
            return one([](const char* v) { HC_Set_Text_Font(v); });
        if (key == "rendering-options")
            return one([](const char* v) { HC_Set_Rendering_Options(v); });
        if (key == "heuristics")
            return one([](const char* v) { HC_Set_Heuristics(v); });
        if (key == "callback")
            return one([](const char* v) { HC_Set_Callback(v); });
        if (key == "user-options")
            return one([](const char* v) { HC_Set_User_Options(v); });
        if (key == "driver-options")
            return one([](const char* v) { HC_Set_Driver_Options(v); });
        if (key == "line-weight" || key == "edge-weight" || key == "marker-size") {
            double v = 0;
            if (n != 2 || !Number(first + 1, v))
                return Fail("'" + std::string(key) + "' takes one number");
            if (key == "line-weight")
                HC_Set_Line_Weight(v);
            else if (key == "edge-weight")
                HC_Set_Edge_Weight(v);
            else
                HC_Set_Marker_Size(v);
            return Check();
        }
        if (key == "user-index") {
            long index = 0, value = 0;
            if (n != 3 || !Integer(first + 1, index) || !Integer(first + 2, value))
                return Fail("'user-index' takes two whole numbers");
            HC_Set_User_Index(index, reinterpret_cast<const void*>(static_cast<intptr_t>(value)));
            return Check();
        }
        if (key == "handedness") {
            if (n != 2 || !(IsWord(first + 1, "left") || IsWord(first + 1, "right")))
                return Fail("'handedness' takes left or right");
            HC_Set_Handedness(std::string(T()[first + 1].text).c_str());
            return Check();
        }
        if (key == "matrix") {
            float m[16];
            if (n != 17 || !Floats(first + 1, 16, m))
                return Fail("'matrix' takes 16 numbers");
            HC_Set_Modelling_Matrix(m);
            return Check();
        }
        if (key == "camera") {
            float v[11];
            if (n != 13 || !Floats(first + 1, 11, v) || T()[first + 12].kind != Token::Kind::Word)
                return Fail("'camera' takes 11 numbers and a projection");
            const std::string projection(T()[first + 12].text);
            HC_Set_Camera(v, v + 3, v + 6, v[9], v[10], projection.c_str());
            return Check();
        }
        if (key == "window") {
            float v[4];
            if (n != 5 || !Floats(first + 1, 4, v))
                return Fail("'window' takes 4 numbers");
            HC_Set_Window(v[0], v[1], v[2], v[3]);
            return Check();
        }
        return Fail("unknown statement '" + std::string(key) + "'");
    }

    // --- geometry --------------------------------------------------------------------
    bool PointLines(size_t count, std::vector<float>& points) {
        points.clear();
        points.reserve(std::min(count, m_lexer.RemainingBytes() / 6 + 1) * 3);
        for (size_t i = 0; i < count; ++i) {
            if (!NextLine())
                return false;
            float p[3];
            if (N() != 3 || !Floats(0, 3, p))
                return Fail("expected a point: three numbers");
            points.insert(points.end(), p, p + 3);
        }
        return true;
    }

    // The rest of an item's block: attributes (and, for shells, per-element attributes and
    // levels of detail) up to the closing brace.
    bool ItemBlock(Key key, bool shell, int depth, bool haveLine = false) {
        HC_Open_Geometry(key);
        if (!Check())
            return false;
        ++m_opened;
        for (;;) {
            if (!haveLine && !NextLine())
                return false;
            haveLine = false;
            if (T()[0].kind == Token::Kind::Close) {
                if (!Exactly(1))
                    return false;
                break;
            }
            if (T()[0].kind != Token::Kind::Word)
                return Fail("expected a statement");
            const std::string_view k = T()[0].text;
            if (shell && (k == "face" || k == "vertex" || k == "edge")) {
                if (!Element(k))
                    return false;
            } else if (shell && k == "lod") {
                if (!Lod(depth, key))
                    return false;
            } else if (k == "user-key") {
                if (!UserKey(key))
                    return false;
            } else if (!Attribute(0, false)) {
                return false;
            }
        }
        HC_Close_Geometry();
        --m_opened;
        return Check();
    }

    bool Element(std::string_view kind) {
        long a = 0, b = 0;
        size_t first = 2;
        if (!Integer(1, a))
            return false;
        if (kind == "edge") {
            if (!Integer(2, b))
                return false;
            first = 3;
        }
        if (N() <= first || T()[first].kind != Token::Kind::Word)
            return Fail("expected an attribute after the " + std::string(kind) + " number");
        if (a < 0 || a > INT32_MAX || b < 0 || b > INT32_MAX)
            return Fail("element number out of range");
        if (kind == "face")
            HC_Open_Face(static_cast<int>(a));
        else if (kind == "vertex")
            HC_Open_Vertex(static_cast<int>(a));
        else
            HC_Open_Edge(static_cast<int>(a), static_cast<int>(b));
        if (!Check())
            return false;
        ++m_opened;
        if (!Attribute(first, true))
            return false;
        if (kind == "face")
            HC_Close_Face();
        else if (kind == "vertex")
            HC_Close_Vertex();
        else
            HC_Close_Edge();
        --m_opened;
        return Check();
    }

    // "user-key <n> local|global": HC_Renumber_Key of the item or segment. A global key that
    // another item of the process holds already is left as it is (the item keeps its key).
    bool UserKey(Key key) {
        long number = 0;
        if (N() != 3 || !Integer(1, number) || !(IsWord(2, "local") || IsWord(2, "global")))
            return Fail("expected 'user-key <number> local|global'");
        if (number < 0 || number > INT32_MAX)
            return Fail("user key " + std::to_string(number) + " is outside 0 .. 2147483647");
        const bool local = IsWord(2, "local");
        if (!local && (m_dryRun || detail::St().globalUserKeys.count(number)))
            return true;
        HC_Renumber_Key(key, number, local ? "local" : "global");
        return Check();
    }

    // "glyph <name> <n> <bytes>" and "line-style <name> <definition>": definitions the file's
    // attributes name. The checking read defines only what is missing (and undoes that).
    bool Definition(std::string_view kind) {
        std::string name;
        if (kind == "glyph") {
            size_t count = 0;
            if (N() < 4 || !String(1, name) || !Count(2, count) || count + 3 != N() || count == 0)
                return Fail("expected 'glyph \"<name>\" <n> <n bytes>'");
            std::vector<char> bytes;
            for (size_t i = 3; i < N(); ++i) {
                long b = 0;
                if (!Integer(i, b))
                    return false;
                if (b < -128 || b > 127)
                    return Fail("glyph byte " + std::to_string(b) + " is outside -128 .. 127");
                bytes.push_back(static_cast<char>(b));
            }
            if (m_dryRun) {
                if (std::as_const(Graph::Instance()).Defs().FindGlyph(name))
                    return true;
                m_addedGlyphs.push_back(name);
            }
            HC_Define_Glyph(name.c_str(), static_cast<int>(bytes.size()), bytes.data());
            return Check();
        }
        std::string definition;
        if (N() != 3 || !String(1, name) || !String(2, definition))
            return Fail("expected 'line-style \"<name>\" \"<definition>\"'");
        if (m_dryRun) {
            if (std::as_const(Graph::Instance()).Defs().FindLineStyle(name))
                return true;
            m_addedLineStyles.push_back(name);
        }
        HC_Define_Line_Style(name.c_str(), definition.c_str());
        return Check();
    }

public:
    // Removes the definitions a checking read added.
    void UndoDefinitions() {
        for (const std::string& name : m_addedLineStyles)
            HC_UnDefine_Line_Style(name.c_str());
        for (const std::string& name : m_addedGlyphs)
            HC_UnDefine_Glyph(name.c_str());
    }

private:
    bool Lod(int depth, Key base) {
        long level = 0;
        if (N() != 3 || !Integer(1, level) || !EndsWithOpen())
            return Fail("expected 'lod <level> {'");
        if (level < 1 || level > 7)
            return Fail("level of detail " + std::to_string(level) + " is outside 1 .. 7");
        HC_Open_LOD(static_cast<int>(level));
        if (!Check())
            return false;
        ++m_opened;
        for (;;) {
            if (!NextLine())
                return false;
            if (T()[0].kind == Token::Kind::Close) {
                if (!Exactly(1))
                    return false;
                break;
            }
            if (!IsWord(0, "shell"))
                return Fail("a level of detail holds only shells");
            if (!Shell(depth + 1, true, base, static_cast<int>(level)))
                return false;
        }
        HC_Close_LOD();
        --m_opened;
        return Check();
    }

    // A shell of a level of detail has no block statements of its own.
    bool Shell(int depth, bool inLod, Key base = kNoKey, int level = 0) {
        size_t pcount = 0, flen = 0;
        if (N() != 4 || !Count(1, pcount) || !Count(2, flen) || !EndsWithOpen())
            return Fail("expected 'shell <points> <face list length> {'");
        std::vector<float> points;
        if (!PointLines(pcount, points))
            return false;
        std::vector<int> faces;
        faces.reserve(std::min(flen, m_lexer.RemainingBytes() / 2 + 1));
        while (faces.size() < flen) {
            if (!NextLine())
                return false;
            long count = 0;
            if (!IsWord(0, "f") || !Integer(1, count))
                return Fail("expected a face: 'f <count> <point> ...'");
            // The range is checked before the sign is taken off: -LONG_MIN does not exist.
            const bool inRange = count != 0 && count >= -static_cast<long>(INT_MAX) && count <= INT_MAX;
            const long len = !inRange ? 0 : count < 0 ? -count : count;
            if (!inRange || static_cast<size_t>(len) + 2 != N())
                return Fail("face count " + std::to_string(count) + " does not match its " +
                            std::to_string(N() - 2) + " points");
            if (faces.size() + 1 + static_cast<size_t>(len) > flen)
                return Fail("the faces are longer than the declared " + std::to_string(flen));
            faces.push_back(static_cast<int>(count));
            for (size_t k = 2; k < N(); ++k) {
                long index = 0;
                if (!Integer(k, index))
                    return false;
                if (index < 0 || static_cast<size_t>(index) >= pcount)
                    return Fail("point index " + std::to_string(index) + " is outside 0 .. " +
                                std::to_string(static_cast<long>(pcount) - 1));
                faces.push_back(static_cast<int>(index));
            }
        }
        const Key key = HC_Insert_Shell(static_cast<int>(pcount), points.data(),
                                        static_cast<int>(flen), faces.data());
        if (!Check())
            return false;
        if (inLod) {
            if (!NextLine())
                return false;
            if (T()[0].kind == Token::Kind::Close) {
                if (N() != 1)
                    return Fail("a level of detail's shell ends with '}'");
                return true;
            }
            // Its own user key and attributes: set with the shell open as an item, then the
            // level is opened again for the shells after it.
            HC_Close_LOD();
            HC_Close_Geometry();
            m_opened -= 2;
            if (!Check() || !ItemBlock(key, false, depth, true))
                return false;
            HC_Open_Geometry(base);
            HC_Open_LOD(level);
            m_opened += 2;
            return Check();
        }
        return ItemBlock(key, true, depth);
    }

    bool Geometry(int depth) {
        if (depth > kMaxDepth)
            return Fail("blocks nest too deeply");
        const std::string_view k = T()[0].text;
        if (k == "shell")
            return Shell(depth, false);
        const bool block = EndsWithOpen();
        const size_t n = N() - (block ? 1 : 0);
        Key key = kNoKey;
        float v[11];
        if (k == "polyline" || k == "polygon") {
            size_t count = 0;
            if (n != 2 || !Count(1, count) || !block)
                return Fail("expected '" + std::string(k) + " <points> {'");
            std::vector<float> points;
            if (!PointLines(count, points))
                return false;
            key = k == "polyline" ? HC_Insert_Polyline(static_cast<int>(count), points.data())
                                  : HC_Insert_Polygon(static_cast<int>(count), points.data());
        } else if (k == "polycylinder") {
            size_t count = 0, rcount = 0;
            if (n != 4 || !Count(1, count) || !Count(2, rcount) || !block ||
                T()[3].kind != Token::Kind::Word)
                return Fail("expected 'polycylinder <points> <radii> <capping> {'");
            const std::string capping(T()[3].text);
            std::vector<float> points;
            if (!PointLines(count, points) || !NextLine())
                return false;
            if (!IsWord(0, "r") || N() != rcount + 1)
                return Fail("expected 'r' and " + std::to_string(rcount) + " radii");
            std::vector<float> radii(rcount);
            if (!Floats(1, rcount, radii.data()))
                return false;
            key = HC_Insert_PolyCylinder(static_cast<int>(count), points.data(),
                                         static_cast<int>(rcount), radii.data(), capping.c_str());
        } else if (k == "cylinder") {
            if (n != 9 || !Floats(1, 7, v) || T()[8].kind != Token::Kind::Word)
                return Fail("expected 'cylinder <point> <point> <radius> <capping>'");
            key = HC_Insert_Cylinder(v, v + 3, v[6], std::string(T()[8].text).c_str());
        } else if (k == "line") {
            if (n != 7 || !Floats(1, 6, v))
                return Fail("'line' takes two points");
            key = HC_Insert_Line(v[0], v[1], v[2], v[3], v[4], v[5]);
        } else if (k == "marker") {
            if (n != 4 || !Floats(1, 3, v))
                return Fail("'marker' takes a point");
            key = HC_Insert_Marker(v[0], v[1], v[2]);
        } else if (k == "text" || k == "text-unicode") {
            std::string text;
            if (n != 5 || !Floats(1, 3, v) || !String(4, text))
                return Fail("'" + std::string(k) + "' takes a point and a quoted text");
            if (k == "text") {
                key = HC_Insert_Text(v[0], v[1], v[2], text.c_str());
            } else {
                std::u16string units;
                if (!hmf::FromUtf8(text, units))
                    return Fail("the text is not UTF-8");
                key = HC_Insert_Text_With_Encoding(v[0], v[1], v[2], "unicode", units.c_str());
            }
        } else if (k == "circle") {
            float p[9];
            if (n != 10 || !Floats(1, 9, p))
                return Fail("'circle' takes three points");
            key = HC_Insert_Circle(p, p + 3, p + 6);
        } else if (k == "ellipse" || k == "elliptical-arc") {
            const bool arc = k == "elliptical-arc";
            if (n != (arc ? 12u : 10u) || !Floats(1, arc ? 11 : 9, v))
                return Fail("'" + std::string(k) + "' takes three points" +
                            (arc ? " and two fractions" : ""));
            key = arc ? HC_Insert_Elliptical_Arc(v, v + 3, v + 6, v[9], v[10])
                      : HC_Insert_Ellipse(v, v + 3, v + 6);
        } else if (k == "image") {
            return Image(depth);
        } else if (k == "distant-light") {
            if (n != 4 || !Floats(1, 3, v))
                return Fail("'distant-light' takes a direction");
            key = HC_Insert_Distant_Light(v[0], v[1], v[2]);
        } else if (k == "cutting-plane") {
            if (n != 5 || !Floats(1, 4, v))
                return Fail("'cutting-plane' takes four numbers");
            key = HC_Insert_Cutting_Plane(v[0], v[1], v[2], v[3]);
        } else {
            return Fail("unknown statement '" + std::string(k) + "'");
        }
        if (!Check())
            return false;
        return block ? ItemBlock(key, false, depth) : true;
    }

    bool Image(int depth) {
        float p[3];
        std::string format, name;
        size_t width = 0, height = 0;
        if (N() != 9 || !Floats(1, 3, p) || !String(4, format) || !Count(5, width) ||
            !Count(6, height) || !String(7, name) || !EndsWithOpen())
            return Fail("expected 'image <point> \"<format>\" <width> <height> \"<name>\" {'");
        const size_t bpp = format == "rgb"         ? 3
                           : format == "rgba"      ? 4
                           : format == "grayscale" ? 1
                                                   : 0;
        if (bpp == 0)
            return Fail("unknown image format '" + format + "'");
        if (width == 0 || height == 0 || width > 65536 || height > 65536 ||
            width * height * bpp > m_lexer.RemainingBytes())
            return Fail("image size " + std::to_string(width) + " x " + std::to_string(height) +
                        " does not fit the file");
        const size_t bytes = width * height * bpp;
        std::vector<unsigned char> data;
        data.reserve(bytes);
        while (data.size() < bytes) {
            if (!NextLine())
                return false;
            if (!IsWord(0, "x") || N() != 2 || T()[1].kind != Token::Kind::Word)
                return Fail("expected pixel data: 'x <hex>'");
            const std::string_view hex = T()[1].text;
            if (hex.size() % 2 != 0 || data.size() + hex.size() / 2 > bytes)
                return Fail("pixel data does not match the image size");
            for (size_t i = 0; i < hex.size(); i += 2) {
                unsigned value = 0;
                const auto r = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
                if (r.ec != std::errc() || r.ptr != hex.data() + i + 2)
                    return Fail("bad pixel data '" + std::string(hex.substr(i, 2)) + "'");
                data.push_back(static_cast<unsigned char>(value));
            }
        }
        for (char c : name)
            if (c == ',' || c == '(' || c == ')' || c == '=' || c == '\'' || c == '"')
                return Fail("image name '" + name + "' holds a separator");
        const std::string full = name.empty() ? format : format + ", name = " + name;
        const Key key = HC_Insert_Image(p[0], p[1], p[2], full.c_str(), static_cast<int>(width),
                                        static_cast<int>(height), data.data());
        if (!Check())
            return false;
        return ItemBlock(key, false, depth);
    }

    // --- segments and references -------------------------------------------------------
    bool Body(int depth, bool top) {
        if (depth > kMaxDepth)
            return Fail("segments nest too deeply");
        const Key owner = HC_KShow_Open_Segment();
        for (;;) {
            if (!NextLine())
                return false;
            const Token& first = T()[0];
            if (first.kind == Token::Kind::Close) {
                if (top)
                    return Fail("'}' without an open block");
                return Exactly(1);
            }
            if (first.kind != Token::Kind::Word)
                return Fail("expected a statement");
            const std::string_view k = first.text;
            if (k == "end-of-file") {
                if (!top)
                    return Fail("the file ends inside a block");
                if (!Exactly(1))
                    return false;
                if (!m_lexer.LastLineTerminated())
                    return Fail("the last line is cut short");
                if (m_lexer.Next() || !m_lexer.Error().empty())
                    return Fail("text after 'end-of-file'");
                return true;
            }
            if (k == "segment") {
                std::string name;
                if (N() != 3 || !String(1, name) || !EndsWithOpen())
                    return Fail("expected 'segment \"<name>\" {'");
                if (const std::string problem = hmf::NameLengthProblem(name); !problem.empty())
                    return Fail(problem);
                if (!hmf::ValidSegmentName(name))
                    return Fail("'" + name + "' is not a segment name");
                HC_Open_Segment(name.c_str());
                if (!Check())
                    return false;
                ++m_opened;
                m_ordinals.push_back(HC_KShow_Open_Segment());
                if (!Body(depth + 1, false))
                    return false;
                HC_Close_Segment();
                --m_opened;
                if (!Check())
                    return false;
            } else if (k == "user-key") {
                if (top)
                    return Fail("the segment read into keeps its own keys");
                if (!UserKey(HC_KShow_Open_Segment()))
                    return false;
            } else if (k == "glyph" || k == "line-style") {
                if (!Definition(k))
                    return false;
            } else if (k == "include" || k == "style") {
                if (N() != 2)
                    return Fail("'" + std::string(k) + "' takes #<segment> or a quoted path");
                Reference r{owner, k == "style", -1, {}, m_lexer.LineNumber()};
                if (T()[1].kind == Token::Kind::Ref) {
                    r.ordinal = T()[1].ref;
                } else if (!String(1, r.path)) {
                    return false;
                } else if (const std::string problem = hmf::NameLengthProblem(r.path);
                           !problem.empty()) {
                    return Fail(problem);
                } else if (!hmf::ValidAbsolutePath(r.path)) {
                    return Fail("'" + r.path + "' is not an absolute segment path");
                }
                m_references.push_back(std::move(r));
            } else if (k == "shell" || k == "polyline" || k == "polygon" || k == "polycylinder" ||
                       k == "cylinder" || k == "line" || k == "marker" || k == "text" ||
                       k == "text-unicode" || k == "circle" || k == "ellipse" ||
                       k == "elliptical-arc" || k == "image" || k == "distant-light" ||
                       k == "cutting-plane") {
                if (!Geometry(depth + 1))
                    return false;
            } else if (!Attribute(0, false)) {
                return false;
            }
        }
    }

    // Includes and styles are made once every segment of the file exists.
    bool References() {
        for (const Reference& r : m_references) {
            Key target = kNoKey;
            if (r.ordinal >= 0) {
                if (static_cast<size_t>(r.ordinal) >= m_ordinals.size()) {
                    m_error = m_name + ":" + std::to_string(r.line) + ": no segment #" +
                              std::to_string(r.ordinal) + " in the file";
                    return false;
                }
                target = m_ordinals[static_cast<size_t>(r.ordinal)];
            } else if (m_dryRun) {
                continue; // outside the file: made only by the real read
            }
            HC_Open_Segment_By_Key(r.owner);
            if (!m_hcError.empty()) {
                m_error = m_name + ":" + std::to_string(r.line) + ": " + m_hcError;
                return false;
            }
            ++m_opened;
            if (target != kNoKey) {
                if (r.style)
                    HC_Style_Segment_By_Key(target);
                else
                    HC_Include_Segment_By_Key(target);
            } else if (r.style) {
                HC_Style_Segment(r.path.c_str());
            } else {
                HC_Include_Segment(r.path.c_str());
            }
            HC_Close_Segment();
            --m_opened;
            if (!m_hcError.empty()) {
                m_error = m_name + ":" + std::to_string(r.line) + ": " + m_hcError;
                return false;
            }
        }
        return true;
    }

    Lexer m_lexer;
    std::string m_name;
    bool m_dryRun;
    std::vector<Key> m_ordinals; // segment keys in file order; #0 is the root
    std::vector<Reference> m_references;
    std::vector<std::string> m_addedGlyphs, m_addedLineStyles;
    std::string m_error, m_hcError;
    int m_opened = 0;
};

void CaptureError(int, int, int severity, const char* function, const char* message) {
    if (severity >= HC_SEV_ERROR && g_active)
        g_active->HcError(function ? function : "", message ? message : "");
}

// Runs one pass with errors routed to the reader; restores the error state and closes
// whatever the pass left open.
bool RunPass(Reader& reader, Key root) {
    return detail::RunWithErrorHandler(&CaptureError, [&] {
        g_active = &reader;
        const bool ok = reader.Run(root);
        g_active = nullptr;
        return ok;
    });
}

} // namespace

bool ReadMetafileText(std::string_view text, std::string_view name, std::string_view into,
                      std::string& error) {
    Graph& graph = Graph::Instance();
    // Pass 1: into a scratch segment that is deleted whatever happens.
    Segment* scratch = detail::CreateChild(graph.Root(), "");
    if (!scratch) {
        error = "cannot create a scratch segment";
        return false;
    }
    const Key scratchKey = scratch->key;
    bool ok = false;
    {
        Reader check(text, std::string(name), true);
        ok = RunPass(check, scratchKey);
        if (!ok)
            error = check.Error();
        check.UndoDefinitions();
    }
    if (Segment* s = graph.FindSegment(scratchKey))
        detail::DeleteSegment(*s);
    if (!ok)
        return false;

    // Pass 2: the file is sound; read it into the destination.
    const std::string destination(into);
    std::string resolveError;
    Segment* target = graph.Resolve(destination, true, &resolveError);
    if (!target) {
        error = "cannot open the segment '" + destination + "'" +
                (resolveError.empty() ? "" : ": " + resolveError);
        return false;
    }
    Reader read(text, std::string(name), false);
    if (!RunPass(read, target->key)) {
        error = read.Error();
        return false;
    }
    return true;
}

} // namespace ketra::hc

void HC_Read_Metafile(const char* file, const char* segment, const char* options) {
    using namespace ketra::hc;
    static const char* fn = "HC_Read_Metafile";
    if (!file || !segment || !options) {
        ReportError(fn, HC_ERR_ARGUMENT, "file, segment or options is null");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        ReportError(fn, HC_ERR_FILE, "cannot open '" + std::string(file) + "'");
        return;
    }
    std::string data;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<unsigned long long>(size) > kMaxFileBytes) {
        ReportError(fn, HC_ERR_FILE, "'" + std::string(file) + "' is too large or unreadable");
        return;
    }
    data.resize(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(data.data(), size)) {
        ReportError(fn, HC_ERR_FILE, "cannot read '" + std::string(file) + "'");
        return;
    }
    std::string error;
    // A binary scene stream is read by its own reader, with the same all-or-nothing rule.
    const bool ok = LooksLikeStream(data) ? ReadStreamBytes(data, file, segment, error)
                                          : ReadMetafileText(data, file, segment, error);
    if (!ok)
        ReportError(fn, HC_ERR_FILE, error);
}
