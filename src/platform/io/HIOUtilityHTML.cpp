#include "platform/io/HIOUtilityHTML.h"

#include "platform/io/HIOUtilityGltf.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/io/ViewerLibrary.h"
#include "platform/sys/AtomicFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

namespace ketra::io {

namespace {

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Number(float v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

PageResultsSource& ResultsSource() {
    static PageResultsSource source;
    return source;
}

// A JSON string; "<" written as \u003c so that no text closes the page's script element.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string JsonNumbers(const float* values, size_t count) {
    std::string out = "[";
    for (size_t i = 0; i < count; ++i)
        out += (i ? "," : "") + Number(values[i]);
    return out + "]";
}

template <class List, class Write> std::string JsonList(const List& list, Write write) {
    std::string out = "[";
    bool first = true;
    for (const auto& item : list) {
        out += first ? "" : ",";
        out += write(item);
        first = false;
    }
    return out + "]";
}

HIOUtilityHTML::TemplateSource& Source() {
    static HIOUtilityHTML::TemplateSource source = nullptr;
    return source;
}

} // namespace

void SetPageResultsSource(PageResultsSource source) { ResultsSource() = std::move(source); }

std::string PageResultsJson(const PageResults& r) {
    auto numbers = [](const auto& v) { return JsonNumbers(v.data(), v.size()); };
    std::string out = "{\"lines\":" + JsonList(r.lines, numbers);
    out += ",\"lineColour\":" + numbers(r.lineColour) + ",\"lineWeight\":" + Number(r.lineWeight);
    out += ",\"initial\":" + std::to_string(r.initial) + ",\"states\":";
    out += JsonList(r.states, [&](const PageState& s) {
        std::string state = "{\"name\":" + JsonString(s.name) + ",\"swing\":" + (s.swing ? "true" : "false");
        state += ",\"period\":" + Number(float(s.period)) + ",\"groupColours\":" + JsonList(s.groupColours, numbers);
        state += ",\"legend\":" + JsonList(s.legend, [&](const auto& line) {
                     return "{\"text\":" + JsonString(line.first) +
                            (line.second ? ",\"swatch\":" + numbers(*line.second) : std::string()) + "}";
                 });
        return state + ",\"lines\":" + JsonList(s.lines, numbers) + "}";
    });
    return out + "}";
}

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    std::string out;
    out.reserve(text.size() + value.size());
    size_t from = 0;
    for (size_t at; (at = text.find(placeholder, from)) != std::string::npos; from = at + placeholder.size()) {
        out.append(text, from, at - from);
        out += value;
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

bool BuildHtmlPage(const std::string& pageTemplate, HC_KEY key, const HtmlPageFields& fields, std::string& out,
                   std::string* error) {
    std::string glb;
    float background[2][3] = {{1, 1, 1}, {1, 1, 1}};
    // Detail for the frame at twice its size (the reader zooms in), quantized: a page of a
    // large plant at full detail in floats would be too big for a browser to open quickly.
    GltfOptions options;
    options.windowPixels = std::clamp(2 * std::max(fields.frameWidth, fields.frameHeight), 256, 4096);
    // Items a few pixels across at that size look the same as lines, at a fraction of the
    // vertices.
    options.lodLevel2Pixels = 16.0f;
    options.tubeLinePixels = 2.0f;
    options.normals = true;
    options.quantize = true;
    options.frameWidth = fields.frameWidth;
    options.frameHeight = fields.frameHeight;
    // Results: the scene is written with each item group in its id colour, then the view is
    // put back (also when writing fails). A copy: restoring may replace the process's source.
    const PageResultsSource source = ResultsSource();
    PageResults results;
    const bool withResults = source.prepare && source.prepare(results) && !results.states.empty();
    options.groupColours = withResults ? &results.idColours : nullptr;
    const bool written = BuildGltf(key, true, glb, error, &background, options);
    if (withResults && source.restore)
        source.restore();
    if (!written)
        return false;
    std::string colours;
    for (int i = 0; i < 2; ++i)
        colours += std::string(i ? ", " : "") + "[" + Number(background[i][0]) + ", " + Number(background[i][1]) +
                   ", " + Number(background[i][2]) + "]";
    out = pageTemplate;
    // The large inlined parts go last, so the other placeholders are looked for in the
    // template's text only.
    ReplaceAll(out, "<!-- $$filename$$ -->", EscapeHtml(fields.fileName));
    ReplaceAll(out, "<!-- $$filename_with_ext$$ -->", EscapeHtml(fields.fileName + ".hsf"));
    ReplaceAll(out, "<!-- $$graphics_frame_width$$ -->", std::to_string(fields.frameWidth));
    ReplaceAll(out, "<!-- $$graphics_frame_height$$ -->", std::to_string(fields.frameHeight));
    ReplaceAll(out, "<!-- $$Background_Colors$$ -->", colours);
    ReplaceAll(out, "<!-- $$results_json$$ -->", withResults ? PageResultsJson(results) : "null");
    ReplaceAll(out, "<!-- $$scene_glb_base64$$ -->", Base64(glb));
    ReplaceAll(out, "<!-- $$three_js$$ -->", std::string(ThreeJsScript()));
    return true;
}

} // namespace ketra::io

void HIOUtilityHTML::SetTemplateSource(TemplateSource source) { ketra::io::Source() = source; }

HIOUtilityHTML::TemplateSource HIOUtilityHTML::GetTemplateSource() { return ketra::io::Source(); }

HFileOutputResult HIOUtilityHTML::FileOutputByKey(const char* filename, HC_KEY key, const HOutputHandlerOptions* options) {
    const std::string file = filename ? filename : "";
    std::string error;
    if (!ketra::io::CanWriteFile(file, &error)) {
        HIOManager::SetLastError(error);
        return OutputBadFileName;
    }
    const std::string pageTemplate = ketra::io::Source() ? ketra::io::Source()() : std::string();
    if (pageTemplate.empty()) {
        HIOManager::SetLastError("\"" + file + "\": no HTML page template (resource 118) is available");
        return OutputFail;
    }
    ketra::io::HtmlPageFields fields;
    fields.fileName = std::filesystem::path(file).stem().string();
    if (options && options->PixelWidth() > 0 && options->PixelHeight() > 0) {
        fields.frameWidth = options->PixelWidth();
        fields.frameHeight = options->PixelHeight();
    }
    std::string page;
    if (!ketra::io::BuildHtmlPage(pageTemplate, key, fields, page, &error)) {
        HIOManager::SetLastError("\"" + file + "\": " + error);
        return OutputFail;
    }
    if (!ketra::sys::WriteFileAtomically(file, page, &error)) {
        HIOManager::SetLastError(error);
        return OutputFail;
    }
    HIOManager::SetLastError("");
    return OutputOK;
}
