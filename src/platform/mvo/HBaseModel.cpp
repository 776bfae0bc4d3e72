#include "platform/mvo/HBaseModel.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"

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
        return handler->FileOutputByKey(fileName, m_modelKey, options);
    }
    if (strcasecmp(ext.c_str(), "hmf") == 0) {
        // The metafile writer reports its own errors through the error handler.
        HC_Write_Metafile(HC_Show_Segment(m_modelKey).c_str(), fileName, "");
        struct stat info {};
        return ::stat(fileName, &info) == 0 ? OutputOK : OutputFail;
    }
    return OutputNotHandled;
}
