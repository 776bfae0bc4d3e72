#include "platform/window/CommandMap.h"

#include <algorithm>

void CommandMap::Add(unsigned int id, Handler handler, Updater updater)
{
    Entry& entry = m_entries[id];
    if (handler)
        entry.handler = std::move(handler);
    if (updater)
        entry.updater = std::move(updater);
}

void CommandMap::SetUpdater(unsigned int id, Updater updater)
{
    m_entries[id].updater = std::move(updater);
}

void CommandMap::Remove(unsigned int id)
{
    m_entries.erase(id);
}

bool CommandMap::HasHandler(unsigned int id) const
{
    const auto it = m_entries.find(id);
    return it != m_entries.end() && it->second.handler;
}

bool CommandMap::HasUpdater(unsigned int id) const
{
    const auto it = m_entries.find(id);
    return it != m_entries.end() && it->second.updater;
}

bool CommandMap::Execute(unsigned int id) const
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || !it->second.handler)
        return false;
    // A handler may replace its own entry (a host re-registering); run a copy.
    const Handler handler = it->second.handler;
    handler();
    return true;
}

bool CommandMap::Update(unsigned int id, CCmdUI& ui) const
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || !it->second.updater)
        return false;
    const Updater updater = it->second.updater;
    updater(ui);
    return true;
}

std::vector<unsigned int> CommandMap::Ids() const
{
    std::vector<unsigned int> ids;
    ids.reserve(m_entries.size());
    for (const auto& [id, entry] : m_entries)
        ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    return ids;
}
