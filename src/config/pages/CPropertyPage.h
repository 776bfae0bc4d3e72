// CPropertyPage: what every page of the Options dialog shares, without a toolkit. A page
// reads its values from the plot configuration when it opens (OnInitDialog), keeps the
// user's edits to itself, and writes only what the user changed when it is applied
// (OnApply), so Cancel leaves the plot-properties file and the settings as they were, and a
// value another program changed meanwhile is not undone.
//
// PagePreview: the small live view some pages show: its own HBaseModel and HBaseViewEx on
// the page's preview control, with the axis triad hidden and one distant light. The toolkit
// skin draws it (ketra::render::RenderToImage of GetViewKey()); the page's 50 ms timer
// (kPreviewTimer through the port) turns its camera.
//
// Ownership: the configuration and the views given to a page must outlive it. The preview
// belongs to the page.
#pragma once

#include "platform/window/CWnd.h"

#include <memory>
#include <string>
#include <vector>

typedef long HC_KEY;

class HBaseModel;
class HBaseView;
class HBaseViewEx;
class HOpConfig;

class PagePreview {
public:
    // A view with driver "msw" and display name `alias` (a taken name gets "_2", ...) over a
    // model of its own, initialised at once, `width` x `height` pixels.
    explicit PagePreview(const char* alias, int width = 240, int height = 180);
    // Deletes the view, then the model (and with it the model's segment).
    ~PagePreview();
    PagePreview(const PagePreview&) = delete;
    PagePreview& operator=(const PagePreview&) = delete;

    HBaseViewEx& View() { return *m_view; }
    HBaseModel& Model() { return *m_model; }
    HC_KEY GetViewKey() const;
    HC_KEY GetSceneKey() const;
    HC_KEY GetModelKey() const;
    // The driver's "current window ID" as read when the preview was made.
    const std::string& GetWindowId() const { return m_windowId; }

    // "ColorDemo" under the model segment (created on first use).
    HC_KEY DemoSegment();
    // Hides the axis triad ("everything=off"), sets the model's visibility to `visibility`
    // and inserts the distant light (1, 1, -1) into the model.
    void Prepare(const char* visibility);
    // Window colour of the preview display ("windows=..." of a colour text).
    void SetWindowColor(const std::string& colorText);
    // Background gradient of the preview from two colour values.
    void SetGradient(unsigned long top, unsigned long bottom);
    // Turns the camera by theta degrees left-right and phi up-down, then updates.
    void Orbit(double theta, double phi);
    // Fits the camera to the sample (isometric) and updates.
    void Fit();
    void SetSize(int width, int height);
    void Update();

private:
    std::unique_ptr<HBaseModel> m_model;
    std::unique_ptr<HBaseViewEx> m_view;
    std::string m_windowId;
    HC_KEY m_demo = -1;
};

class CPropertyPage : public CWnd {
public:
    // Timer of the preview pages, and its period.
    static constexpr unsigned int kPreviewTimer = 1;
    static constexpr unsigned int kPreviewPeriodMs = 50;

    CPropertyPage(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    ~CPropertyPage() override;

    // The page's tab text.
    virtual std::string GetCaption() const = 0;
    // Reads the values and builds the preview; starts the preview timer.
    virtual void OnInitDialog();
    // Writes what the user changed. Returns false when nothing could be applied.
    virtual bool OnApply() { return true; }
    // Stops the timer and drops the preview; writes nothing.
    virtual void OnCancel();
    // The preview timer's tick.
    virtual void OnTimer(unsigned int id);

    // The views the page redraws after applying (the host's open views). Not owned.
    void SetViews(std::vector<HBaseView*> views) { m_views = std::move(views); }
    const std::vector<HBaseView*>& GetViews() const { return m_views; }
    HOpConfig& Config() { return m_config; }
    // Null for pages without a preview, and after OK or Cancel.
    PagePreview* GetPreview() { return m_preview.get(); }
    bool IsOpen() const { return m_open; }

protected:
    // Stops the preview timer and deletes the preview.
    void ClosePreview();
    // Forces a full redraw of every view given with SetViews.
    void RedrawViews();

    HOpConfig& m_config;
    std::unique_ptr<PagePreview> m_preview;
    std::vector<HBaseView*> m_views;
    bool m_open = false;
};
