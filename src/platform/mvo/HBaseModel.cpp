#include "platform/mvo/HBaseModel.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>

#include "platform/hc/HcStrings.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HMarkupManager.h"

namespace {
int g_modelCounter = 0;

std::string Extension(const char* fileName)
{
    const char* dot = std::strrchr(fileName, '.');
    const char* slash = std::strrchr(fileName, '/');
    if (!dot || (slash && dot < slash))
        return {};
    return dot + 1;
}
// A view's markup layers (notes, sketches) live in its own scene, not in the model. While a
// scene file of the model is written they are moved into the model segment, as its
// subsegment "markup" (or "markup <n>" when the model has one already), so the file keeps
// them; they go back when the write is done.
class MarkupInModel {
public:
    MarkupInModel(HBaseView* view, HC_KEY modelKey) {
        const HMarkupManager* markup = view ? view->GetMarkupManager() : nullptr;
        if (!markup)
            return;
        const ketra::hc::Graph& graph = ketra::hc::Graph::Instance();
        const ketra::hc::Segment* layers = graph.FindSegment(markup->GetMarkupKey());
        const ketra::hc::Segment* model = graph.FindSegment(modelKey);
        if (!layers || !layers->owner || !model || layers->children.empty())
            return;
        std::string name = "markup";
        for (int n = 2; model->FindChild(name); ++n)
            name = "markup " + std::to_string(n);
        m_key = layers->key;
        m_home = graph.PathName(*layers);
        m_away = graph.PathName(*model) + "/" + name;
        HC_Rename_Segment(m_home.c_str(), m_away.c_str());
        const ketra::hc::Segment* moved = graph.FindSegment(m_key);
        m_moved = moved && moved->owner == model;
    }
    ~MarkupInModel() {
        if (m_moved)
            HC_Rename_Segment(m_away.c_str(), m_home.c_str());
    }
    MarkupInModel(const MarkupInModel&) = delete;
    MarkupInModel& operator=(const MarkupInModel&) = delete;

private:
    HC_KEY m_key = -1;
    bool m_moved = false;
    std::string m_home, m_away;
};

} // namespace

HBaseModel::HBaseModel() = default;

HBaseModel::~HBaseModel()
{
    if (m_modelKey != -1 && HC_Show_Existence_By_Key(m_modelKey, "self") > 0)
        HC_Delete_By_Key(m_modelKey);
}

void HBaseModel::Init()
{
    if (m_modelKey != -1 && HC_Show_Existence_By_Key(m_modelKey, "self") > 0)
        return;
    m_includeKey = HC_Create_Segment("/include library");
    std::string path;
    do {
        path = "/include library/model_" + std::to_string(g_modelCounter++);
    } while (HC_QShow_Existence(path.c_str(), "self") > 0);
    m_modelKey = HC_Create_Segment(path.c_str());
}

void HBaseModel::Flush()
{
    if (m_modelKey == -1 || HC_Show_Existence_By_Key(m_modelKey, "self") == 0)
        return;
    HC_Flush_Contents(HC_Show_Segment(m_modelKey).c_str(), "everything");
    m_changed = true;
}

HFileOutputResult HBaseModel::FileOutput(const char* fileName, HBaseView* view,
                                         HOutputHandlerOptions* options)
{
    if (!fileName || !*fileName)
        return OutputBadFileName;
    if (m_modelKey == -1 || HC_Show_Existence_By_Key(m_modelKey, "self") == 0)
        return OutputNotHandled;
    const std::string ext = Extension(fileName);
    if (HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler(fileName)) {
        // A picture of the model is a picture of it as the view shows it (camera, lights).
        if (handler->RendersPicture() && view && view->GetViewKey() != -1) {
            HOutputHandlerOptions viewOptions = options ? *options : HOutputHandlerOptions{};
            viewOptions.m_pHBaseView = view;
            return handler->FileOutputByKey(fileName, view->GetViewKey(), &viewOptions);
        }
        MarkupInModel markup(view, m_modelKey);
        return handler->FileOutputByKey(fileName, m_modelKey, options);
    }
    if (strcasecmp(ext.c_str(), "hmf") == 0) {
        MarkupInModel markup(view, m_modelKey);
        // The metafile writer reports its own errors through the error handler.
        HC_Write_Metafile(HC_Show_Segment(m_modelKey).c_str(), fileName, "");
        struct stat info {};
        return ::stat(fileName, &info) == 0 ? OutputOK : OutputFail;
    }
    return OutputNotHandled;
}
