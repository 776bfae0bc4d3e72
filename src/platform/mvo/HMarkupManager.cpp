#include "platform/mvo/HMarkupManager.h"

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"

HMarkupManager::HMarkupManager(HBaseView* view, HC_KEY markupKey)
    : m_view(view), m_markupKey(markupKey)
{
}

std::string HMarkupManager::GetCurrentLayerName() const
{
    if (m_currentLayer == -1 || HC_Show_Existence_By_Key(m_currentLayer, "self") == 0)
        return {};
    return HC_Show_Segment_Name(m_currentLayer);
}

HC_KEY HMarkupManager::OpenLayer(const char* name, bool setCamera, bool emitMessage)
{
    if (HC_Show_Existence_By_Key(m_markupKey, "self") == 0)
        return -1;
    std::string layerName = name ? name : "";
    HC_Open_Segment_By_Key(m_markupKey);
    if (layerName.empty()) {
        // A fresh name that no existing layer uses.
        do {
            layerName = "layer " + std::to_string(++m_layerCounter);
        } while (HC_QShow_Existence(layerName.c_str(), "self") > 0);
    }
    // Only the current layer shows.
    HC_Begin_Contents_Search(".", "segments");
    std::string type;
    HC_KEY child = -1;
    std::vector<HC_KEY> layers;
    while (HC_Find_Contents(type, &child))
        layers.push_back(child);
    HC_End_Contents_Search();
    for (HC_KEY layer : layers) {
        HC_Open_Segment_By_Key(layer);
        HC_Set_Visibility("everything = off");
        HC_Close_Segment();
    }
    const bool existed = HC_QShow_Existence(layerName.c_str(), "self") > 0;
    const HC_KEY key = HC_Open_Segment(layerName.c_str());
    if (HC_Show_Existence("visibility") > 0)
        HC_UnSet_Visibility();
    HC_Close_Segment();
    HC_Close_Segment();
    m_currentLayer = key;
    if (setCamera && m_view) {
        if (existed && m_cameras.count(key)) {
            m_view->SetCamera(m_cameras[key]);
            m_view->CameraPositionChanged(emitMessage);
        } else {
            HCamera camera;
            m_view->GetCamera(camera);
            m_cameras[key] = camera;
        }
    }
    if (emitMessage)
        EmitMarkupSegment(key);
    return key;
}

bool HMarkupManager::DeleteLayer(const char* name)
{
    if (!name || !*name || HC_Show_Existence_By_Key(m_markupKey, "self") == 0)
        return false;
    HC_Open_Segment_By_Key(m_markupKey);
    const bool exists = HC_QShow_Existence(name, "self") > 0;
    HC_KEY key = -1;
    if (exists) {
        key = HC_Open_Segment(name);
        HC_Close_Segment();
    }
    HC_Close_Segment();
    if (!exists)
        return false;
    HC_Delete_By_Key(key);
    m_cameras.erase(key);
    if (m_currentLayer == key)
        m_currentLayer = -1;
    return true;
}

std::vector<std::string> HMarkupManager::GetLayerNames() const
{
    std::vector<std::string> names;
    if (HC_Show_Existence_By_Key(m_markupKey, "self") == 0)
        return names;
    HC_Open_Segment_By_Key(m_markupKey);
    HC_Begin_Contents_Search(".", "segments");
    std::string type;
    HC_KEY child = -1;
    while (HC_Find_Contents(type, &child))
        names.push_back(HC_Show_Segment_Name(child));
    HC_End_Contents_Search();
    HC_Close_Segment();
    return names;
}

void HMarkupManager::EmitMarkupSegment(HC_KEY segment)
{
    ++m_notifications;
    if (m_notify)
        m_notify(segment);
}

HC_KEY HMarkupManager::GetLayerSubsegment(const char* name)
{
    if (m_currentLayer == -1 || HC_Show_Existence_By_Key(m_currentLayer, "self") == 0)
        OpenLayer("", true, true);
    if (m_currentLayer == -1)
        return -1;
    HC_Open_Segment_By_Key(m_currentLayer);
    const HC_KEY key = HC_Open_Segment(name && *name ? name : "markup");
    HC_Close_Segment();
    HC_Close_Segment();
    return key;
}
