// A CHoopsViewEx over the headless view of ViewExTest, with a recording port. The window does
// not own the view; it goes first in TearDown. Segments the view-window commands touch outside
// the view ("/include library/halden", the style segments) are removed after each test.
#pragma once

#include "view/ViewExFixture.h"

#include <string>
#include <vector>

#include "config/HOpConfig.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/window/RecordingPort.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewCommands.h"

namespace viewtest {

// An operator that records the event types it receives.
class RecordingOperator : public HBaseOperator {
public:
    RecordingOperator(HBaseView* view, std::string name, std::vector<int>* log)
        : HBaseOperator(view, 0, 1), m_name(std::move(name)), m_log(log) {}
    const char* GetName() override { return m_name.c_str(); }
    int OnLButtonDown(HEventInfo& e) override { return Log(e); }
    int OnMButtonDown(HEventInfo& e) override { return Log(e); }
    int OnMButtonUp(HEventInfo& e) override { return Log(e); }
    int OnRButtonDown(HEventInfo& e) override { return Log(e); }
    int OnRButtonUp(HEventInfo& e) override { return Log(e); }
    int OnRButtonDblClk(HEventInfo& e) override { return Log(e); }
    int OnKeyDown(HEventInfo& e) override { return Log(e); }

private:
    int Log(HEventInfo& e)
    {
        m_log->push_back(static_cast<int>(e.GetType()));
        return HOP_OK;
    }
    std::string m_name;
    std::vector<int>* m_log;
};

// A mouse listener that keeps a copy of every event.
class ListenerLog : public HMouseListener {
public:
    int OnLButtonDown(HEventInfo& e) override { events.push_back(e); return 0; }
    int OnKeyDown(HEventInfo& e) override { events.push_back(e); return 0; }
    std::vector<HEventInfo> events;
};

inline void DeleteIfExists(const char* segment)
{
    if (HUtility::SegmentExists(segment))
        HC_Delete_Segment(segment);
}

class ViewWindowTest : public ViewExTest {
protected:
    void SetUp() override
    {
        ViewExTest::SetUp();
        window = std::make_unique<CHoopsViewEx>(&port);
        window->SetPlotConfig(&config);
        window->SetHoopsViewEx(view.get(), false);
    }
    void TearDown() override
    {
        window.reset();
        DeleteIfExists("/include library/halden");
        DeleteIfExists("/Style Library");
        ViewExTest::TearDown();
    }

    bool Run(unsigned int id) { return window->OnCommand(id); }
    CCmdUI Ui(unsigned int id)
    {
        CCmdUI ui(id);
        window->OnUpdateCommand(id, ui);
        return ui;
    }
    std::string OperatorName() const
    {
        HBaseOperator* op = view->GetOperator();
        return op ? op->GetName() : "";
    }
    // An element-kind segment below "/include library/halden" (created).
    static HC_KEY Kind(const char* name)
    {
        HC_Open_Segment((std::string("/include library/halden/") + name).c_str());
        const HC_KEY key = HC_KShow_Open_Segment();
        HC_Close_Segment();
        return key;
    }
    static bool HasOwnVisibility(const char* path) { return HC_QShow_Existence(path, "visibility") > 0; }

    ketra::window::RecordingPort port;
    HOpConfig config;
    std::unique_ptr<CHoopsViewEx> window;
};

} // namespace viewtest
