#include "host/ModelFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace ketra::host {

ModelFormat SniffModelFormat(std::string_view text, const std::string& path) {
    std::size_t i = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && text[i] == '{')
        return ModelFormat::Json;
    if (LooksLikePcf(text))
        return ModelFormat::Pcf;
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return ext == ".pcf" ? ModelFormat::Pcf : ModelFormat::Json;
}

ModelFileResult ParseModelText(std::string_view text, const std::string& name) {
    ModelFileResult r;
    r.format = SniffModelFormat(text, name);
    if (r.format == ModelFormat::Pcf) {
        PcfLoadResult p = ParsePcf(text, name);
        r.ok = p.ok;
        r.model = std::move(p.model);
        r.error = std::move(p.error);
        r.pcf = std::move(p.report);
    } else {
        LoadResult j = ParsePipingModel(std::string(text), name);
        r.ok = j.ok;
        r.model = std::move(j.model);
        r.error = std::move(j.error);
    }
    return r;
}

ModelFileResult LoadModelFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ModelFileResult r;
        r.error = path + ": cannot open the model file";
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseModelText(text.str(), path);
}

} // namespace ketra::host
