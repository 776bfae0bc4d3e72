#include "platform/mvo/HTManager.h"

#include <algorithm>

#include "platform/mvo/HUtility.h"

HTClient::HTClient(float interval, HTCStyle style, HTClientCallback callback, void* userData)
    : m_interval(interval < 0.001f ? 0.001f : interval), m_style(style), m_callback(callback),
      m_userData(userData)
{
}

HTClient::~HTClient() { HTManager::Instance()->UnRegisterClient(this); }

bool HTClient::Tick(float requestTime, float actualTime)
{
    return m_callback ? m_callback(requestTime, actualTime, m_userData) : false;
}

HTManager::HTManager() : m_now(HUtility::GetTime()) {}

HTManager* HTManager::Instance()
{
    static HTManager manager;
    return &manager;
}

void HTManager::RegisterClient(HTClient* client)
{
    if (!client || IsRegistered(client))
        return;
    client->SetNextRequest(m_now + client->GetInterval());
    m_clients.push_back(client);
}

void HTManager::UnRegisterClient(HTClient* client)
{
    // Null the slot so a Tick in progress keeps its place; Tick compacts afterwards.
    std::replace(m_clients.begin(), m_clients.end(), client, static_cast<HTClient*>(nullptr));
}

bool HTManager::IsRegistered(const HTClient* client) const
{
    return client && std::find(m_clients.begin(), m_clients.end(), client) != m_clients.end();
}

std::size_t HTManager::ClientCount() const
{
    return static_cast<std::size_t>(std::count_if(m_clients.begin(), m_clients.end(),
                                                  [](HTClient* c) { return c != nullptr; }));
}

void HTManager::Tick(float now)
{
    if (now < m_now)
        now = m_now;  // the clock never runs backwards
    m_now = now;
    // Clients registered during this tick are due one interval later, so index-based
    // iteration over the clients present at the start is enough.
    const std::size_t count = m_clients.size();
    for (std::size_t i = 0; i < count; ++i) {
        HTClient* client = m_clients[i];
        if (!client)
            continue;
        switch (client->GetStyle()) {
        case HTCS_Once:
            if (client->GetNextRequest() <= now) {
                m_clients[i] = nullptr;
                client->Tick(client->GetNextRequest(), now);
            }
            break;
        case HTCS_Periodic:
            // Catch up on every missed interval, with a bound so a long stall cannot spin.
            for (int guard = 0; guard < 1000 && m_clients[i] == client && client->GetNextRequest() <= now; ++guard) {
                const float request = client->GetNextRequest();
                client->SetNextRequest(request + client->GetInterval());
                client->Tick(request, now);
            }
            if (m_clients[i] == client && client->GetNextRequest() <= now)
                client->SetNextRequest(now + client->GetInterval());
            break;
        case HTCS_PeriodicSkip:
            if (client->GetNextRequest() <= now) {
                const float request = client->GetNextRequest();
                client->SetNextRequest(now + client->GetInterval());
                client->Tick(request, now);
            }
            break;
        default:
            break;
        }
    }
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), nullptr), m_clients.end());
}

void HTManager::Tick() { Tick(HUtility::GetTime()); }
