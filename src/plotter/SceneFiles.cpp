#include "plotter/SceneFiles.h"

#include "platform/hc/HcStrings.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/mvo/HBaseView.h"

#include <cctype>
#include <filesystem>
#include <vector>

namespace ketra::plotter {

bool IsSceneFile(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".hsf" || ext == ".hmf";
}

bool ShowSceneFile(const std::string& path, HBaseView& view, std::string* error)
{
    SceneFileData file{path, {}};
    return ketra::io::ReadSceneFileBytes(path, file.bytes, error) && ShowSceneFile(file, view, error);
}

bool ShowSceneFile(const SceneFileData& file, HBaseView& view, std::string* error)
{
    const std::string into = "/include library/scene file";
    if (!ketra::io::ReadSceneData(file.bytes, file.path, into, error))
        return false;
    std::vector<std::string> models;
    HC_Begin_Contents_Search(into.c_str(), "subsegments");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key)) {
        const std::string text = HC_Show_Segment(key);
        if (text.rfind(into + "/model_", 0) == 0)
            models.push_back(text);
    }
    HC_End_Contents_Search();
    if (models.empty())
        models.push_back(into);
    HC_Open_Segment_By_Key(view.GetModelKey());
    for (const std::string& m : models)
        HC_Include_Segment(m.c_str());
    HC_Close_Segment();
    return true;
}

bool CheckSceneFile(const std::string& path, std::string* error)
{
    SceneFileData file;
    return LoadSceneFile(path, file, error);
}

bool LoadSceneFile(const std::string& path, SceneFileData& out, std::string* error)
{
    out.path = path;
    if (!ketra::io::ReadSceneFileBytes(path, out.bytes, error))
        return false;
    const std::string scratch = "/include library/scene file check";
    const bool ok = ketra::io::ReadSceneData(out.bytes, path, scratch, error);
    if (HC_QShow_Existence(scratch.c_str(), "self") > 0)
        HC_Delete_Segment(scratch.c_str());
    return ok;
}

} // namespace ketra::plotter
