#include "platform/mvo/HObjectManager.h"

#include <cctype>
#include <cstdio>

#include "platform/hc/HcStrings.h"

namespace {

bool IsSegment(HC_KEY key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return false;
    return HC_Show_Key_Type(key) == "segment";
}

// Letters, digits and a few harmless characters pass; everything else becomes %XX.
std::string Encode(const char* text)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (std::isalnum(*p) || *p == '.' || *p == '-' || *p == '_' || *p == ' ') {
            out.push_back(static_cast<char>(*p));
        } else {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02X", *p);
            out += hex;
        }
    }
    // Option values lose surrounding blanks; keep them by encoding.
    if (!out.empty() && out.front() == ' ')
        out.replace(0, 1, "%20");
    if (!out.empty() && out.back() == ' ')
        out.replace(out.size() - 1, 1, "%20");
    return out;
}

std::string Decode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string LocalOption(HC_KEY segment, const char* name)
{
    if (!IsSegment(segment))
        return {};
    std::string value;
    HC_Open_Segment_By_Key(segment);
    if (HC_Show_Existence((std::string("user option = ") + name).c_str()) > 0) {
        value = HC_Show_One_User_Option(name);
    }
    HC_Close_Segment();
    return value;
}

} // namespace

bool HObjectManager::SetHObjectSegment(HC_KEY segment, const char* kind, const char* info)
{
    if (!IsSegment(segment) || !kind || !*kind)
        return false;
    std::string options = "hobject = " + Encode(kind);
    if (info)
        options += ", hobject info = " + Encode(info);
    HC_Open_Segment_By_Key(segment);
    HC_Set_User_Options(options.c_str());
    HC_Close_Segment();
    return true;
}

void HObjectManager::UnSetHObjectSegment(HC_KEY segment)
{
    if (!IsSegment(segment))
        return;
    HC_Open_Segment_By_Key(segment);
    if (HC_Show_Existence("user option = hobject") > 0)
        HC_UnSet_One_User_Option("hobject");
    if (HC_Show_Existence("user option = hobject info") > 0)
        HC_UnSet_One_User_Option("hobject info");
    HC_Close_Segment();
}

HC_KEY HObjectManager::FindHObjectSegment(HC_KEY key, std::string* kind)
{
    if (kind)
        kind->clear();
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return -1;
    HC_KEY segment = IsSegment(key) ? key : HC_KShow_Owner_By_Key(key);
    // Bounded walk: a tree is never deeper than this, and a bad owner chain cannot loop.
    for (int depth = 0; depth < 4096 && segment != -1 && IsSegment(segment); ++depth) {
        const std::string found = LocalOption(segment, "hobject");
        if (!found.empty()) {
            if (kind)
                *kind = Decode(found);
            return segment;
        }
        if (HC_Show_Segment(segment) == "/")
            break;
        segment = HC_KShow_Owner_By_Key(segment);
    }
    return -1;
}

HC_KEY HObjectManager::FindHObjectSegment(HC_KEY key, char* kind)
{
    std::string found;
    const HC_KEY segment = FindHObjectSegment(key, kind ? &found : nullptr);
    if (kind)
        std::snprintf(kind, 256, "%s", found.c_str());
    return segment;
}

std::string HObjectManager::GetHObjectKind(HC_KEY segment) { return Decode(LocalOption(segment, "hobject")); }

std::string HObjectManager::GetHObjectInfo(HC_KEY segment) { return Decode(LocalOption(segment, "hobject info")); }
