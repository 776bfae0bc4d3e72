#include "platform/mvo/HEventManager.h"

#include <algorithm>

#include "platform/mvo/HEventInfo.h"

template <class T> void HEventManager::Remove(std::vector<T*>& list, T* item)
{
    // Null the slot instead of erasing, so a listener may unregister while an Emit loop
    // walks the list; nulls are compacted on the next registration.
    std::replace(list.begin(), list.end(), item, static_cast<T*>(nullptr));
}

namespace {
template <class T> void AddUnique(std::vector<T*>& list, T* item)
{
    if (!item)
        return;
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
    if (std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}
template <class T> size_t CountLive(const std::vector<T*>& list)
{
    return static_cast<size_t>(std::count_if(list.begin(), list.end(), [](T* p) { return p != nullptr; }));
}
} // namespace

void HEventManager::RegisterHandler(HUpdateListener* listener) { AddUnique(m_update, listener); }
void HEventManager::RegisterHandler(HMouseListener* listener) { AddUnique(m_mouse, listener); }
void HEventManager::RegisterHandler(HObjectManipulationListener* listener)
{
    AddUnique(m_object, listener);
}
void HEventManager::UnRegisterHandler(HUpdateListener* listener) { Remove(m_update, listener); }
void HEventManager::UnRegisterHandler(HMouseListener* listener) { Remove(m_mouse, listener); }
void HEventManager::UnRegisterHandler(HObjectManipulationListener* listener)
{
    Remove(m_object, listener);
}

void HEventManager::EmitCameraChanged(HBaseView* view)
{
    for (size_t i = 0; i < m_update.size(); ++i)
        if (m_update[i])
            m_update[i]->CameraChangedEvent(view);
}

void HEventManager::EmitViewDestroyed(HBaseView* view)
{
    for (size_t i = 0; i < m_update.size(); ++i)
        if (m_update[i])
            m_update[i]->ViewDestroyedEvent(view);
}

void HEventManager::EmitWindowResized(HBaseView* view)
{
    for (size_t i = 0; i < m_update.size(); ++i)
        if (m_update[i])
            m_update[i]->WindowResizedEvent(view);
}

int HEventManager::EmitMouseEvent(HEventInfo& event)
{
    int result = 0;
    for (size_t i = 0; i < m_mouse.size(); ++i) {
        HMouseListener* listener = m_mouse[i];
        if (!listener)
            continue;
        int r = 0;
        switch (event.GetType()) {
        case HE_LButtonDown: r = listener->OnLButtonDown(event); break;
        case HE_LButtonUp: r = listener->OnLButtonUp(event); break;
        case HE_MouseMove: r = listener->OnMouseMove(event); break;
        case HE_MouseWheel: r = listener->OnMouseWheel(event); break;
        case HE_KeyDown: r = listener->OnKeyDown(event); break;
        case HE_KeyUp: r = listener->OnKeyUp(event); break;
        default: break;
        }
        if (r != 0)
            result = r;
    }
    return result;
}

void HEventManager::EmitObjectMoved(HBaseView* view, HC_KEY key)
{
    for (size_t i = 0; i < m_object.size(); ++i)
        if (m_object[i])
            m_object[i]->ObjectMovedEvent(view, key);
}

void HEventManager::EmitObjectDeleted(HBaseView* view, HC_KEY key)
{
    for (size_t i = 0; i < m_object.size(); ++i)
        if (m_object[i])
            m_object[i]->ObjectDeletedEvent(view, key);
}

size_t HEventManager::UpdateListenerCount() const { return CountLive(m_update); }
size_t HEventManager::MouseListenerCount() const { return CountLive(m_mouse); }
