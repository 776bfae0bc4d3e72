#include <gtest/gtest.h>

#include <vector>

#include "platform/mvo/HTManager.h"

namespace {

class CountingClient : public HTClient {
public:
    using HTClient::HTClient;
    bool Tick(float requestTime, float actualTime) override
    {
        requests.push_back(requestTime);
        lastActual = actualTime;
        if (unregisterOnCall)
            HTManager::Instance()->UnRegisterClient(this);
        return true;
    }
    std::vector<float> requests;
    float lastActual = 0;
    bool unregisterOnCall = false;
};

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = HTManager::Instance();
        base = manager->GetCurrentTime() + 100.0f;
        manager->SetCurrentTime(base);
    }
    HTManager* manager = nullptr;
    float base = 0;
};

} // namespace

TEST_F(TimerTest, PeriodicClientsCatchUpOnMissedIntervals)
{
    CountingClient client(0.5f, HTCS_Periodic);
    manager->RegisterClient(&client);
    manager->Tick(base + 0.4f);
    EXPECT_TRUE(client.requests.empty());
    manager->Tick(base + 1.6f);
    ASSERT_EQ(client.requests.size(), 3u);
    EXPECT_FLOAT_EQ(client.requests[0], base + 0.5f);
    EXPECT_FLOAT_EQ(client.requests[2], base + 1.5f);
    EXPECT_FLOAT_EQ(client.lastActual, base + 1.6f);
}

TEST_F(TimerTest, SkippingClientsRunOncePerTick)
{
    CountingClient client(0.01f, HTCS_PeriodicSkip);
    manager->RegisterClient(&client);
    manager->Tick(base + 1.0f);
    manager->Tick(base + 1.005f);
    manager->Tick(base + 1.02f);
    EXPECT_EQ(client.requests.size(), 2u);
}

TEST_F(TimerTest, OnceClientsRunOnceAndLeave)
{
    CountingClient client(0.1f, HTCS_Once);
    manager->RegisterClient(&client);
    manager->Tick(base + 1.0f);
    manager->Tick(base + 2.0f);
    EXPECT_EQ(client.requests.size(), 1u);
    EXPECT_FALSE(manager->IsRegistered(&client));
}

TEST_F(TimerTest, ClientsMayLeaveDuringATickAndOnDestruction)
{
    CountingClient leaving(0.1f, HTCS_Periodic);
    leaving.unregisterOnCall = true;
    const std::size_t before = manager->ClientCount();
    manager->RegisterClient(&leaving);
    {
        CountingClient scoped(0.1f, HTCS_Periodic);
        manager->RegisterClient(&scoped);
        manager->RegisterClient(&scoped);
        EXPECT_EQ(manager->ClientCount(), before + 2);
    }
    EXPECT_EQ(manager->ClientCount(), before + 1);
    manager->Tick(base + 5.0f);
    EXPECT_EQ(leaving.requests.size(), 1u);
    EXPECT_EQ(manager->ClientCount(), before);
}

TEST_F(TimerTest, TheClockNeverRunsBackwards)
{
    CountingClient client(1.0f, HTCS_Periodic);
    manager->RegisterClient(&client);
    manager->Tick(base - 50.0f);
    EXPECT_FLOAT_EQ(manager->GetCurrentTime(), base);
    EXPECT_TRUE(client.requests.empty());
    manager->UnRegisterClient(&client);
}
