// Timers of the view layer. An HTClient asks to be called at an interval; the process-wide
// HTManager calls due clients when the host's event loop ticks it (Tick(), typically from a
// 10 ms UI timer). Everything runs on the UI thread. Tests tick with explicit times.
#pragma once

#include <cstddef>
#include <vector>

enum HTCStyle {
    HTCS_Invalid = 0,
    HTCS_Once = 1,          // called once, then unregistered
    HTCS_Periodic = 2,      // called once per elapsed interval (missed intervals are caught up)
    HTCS_PeriodicSkip = 3,  // called at most once per tick; missed intervals are skipped
};

// Callback: request time (when the call was due), actual time, user data. Return value unused.
typedef bool (*HTClientCallback)(float requestTime, float actualTime, void* userData);

class HTClient {
public:
    HTClient(float interval = 0.1f, HTCStyle style = HTCS_Periodic, HTClientCallback callback = nullptr,
             void* userData = nullptr);
    // Unregisters itself from the manager.
    virtual ~HTClient();
    HTClient(const HTClient&) = delete;
    HTClient& operator=(const HTClient&) = delete;

    // Called when due; the default calls the callback.
    virtual bool Tick(float requestTime, float actualTime);

    float GetInterval() const { return m_interval; }
    // Intervals below 0.001 s are raised to it.
    void SetInterval(float seconds) { m_interval = seconds < 0.001f ? 0.001f : seconds; }
    HTCStyle GetStyle() const { return m_style; }
    void SetStyle(HTCStyle style) { m_style = style; }
    float GetNextRequest() const { return m_nextRequest; }
    void SetNextRequest(float time) { m_nextRequest = time; }
    void* GetUserData() const { return m_userData; }

private:
    float m_interval;
    HTCStyle m_style;
    HTClientCallback m_callback;
    void* m_userData;
    float m_nextRequest = 0.0f;
};

class HTManager {
public:
    static HTManager* Instance();

    // Registers a client (not owned); its first call is due one interval after the manager's
    // current time. Registering twice does nothing.
    void RegisterClient(HTClient* client);
    void UnRegisterClient(HTClient* client);
    bool IsRegistered(const HTClient* client) const;
    std::size_t ClientCount() const;

    // Calls every due client at time `now` (seconds, HUtility::GetTime's clock). Clients may
    // register or unregister clients (themselves included) from inside Tick.
    void Tick(float now);
    // Tick(HUtility::GetTime()).
    void Tick();
    // The time of the last tick (or of construction).
    float GetCurrentTime() const { return m_now; }
    // Sets the manager's clock without calling anyone (tests start from a known time).
    void SetCurrentTime(float now) { m_now = now; }

private:
    HTManager();
    std::vector<HTClient*> m_clients;
    float m_now = 0.0f;
};
