// CConfig: the colour page. A tree of plot items (which items depends on the host's config
// type), a small preview of a slowly turning spring hanger painted in the selected item's
// colour, a button that changes the selected item's colour through the colour chooser and
// one that resets every colour.
//
// Item texts select the accessors: the preview reads the item's colour with its getter, a
// change is written with its setter (see ItemAccessor). Items without an accessor ("General",
// "Highlights", "Labels", "Selections", the roots) show "bright white" and ignore changes.
//
// Changes are kept by the page until OnOK, which writes them (only the changed items, each
// through the locked, atomic writers of HOpConfig), fills the style segments of the scene
// (ResetAllColors) and redraws the views. Cancel writes nothing. Where the settings store
// overrides the file for an item (CAppSettings::UseSystemColorInfo on a piping host), the
// settings colour is set too, so the chosen colour is the one drawn.
//
// Tree roots: "Colors" (the items of the table), "General" and, under "Colors",
// "Background" with "Top" and "Bottom"; all three expanded.
#pragma once

#include "config/pages/CPropertyPage.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class HOpConfig;

class CConfig : public CPropertyPage {
public:
    // Control ids of the page: the change button and the preview picture.
    static constexpr int kChangeButton = 1001;
    static constexpr int kPreviewControl = 1002;
    static constexpr const char* kSampleStyle = "/Style Library/Color Sample";

    struct TreeItem {
        std::string text;
        int parent = -1;
        std::vector<int> children;
        bool expanded = false;
    };

    // How a colour value is written as the item's colour text.
    enum class ColorForm {
        Element, // "faces=(diffuse=c,specular=white,transmission=black),lines=c,edges=c"
        Plain,   // "r=%f g=%f b=%f"
        Window,  // "windows=r=%f g=%f b=%f"
    };
    struct ItemAccessor {
        std::function<std::string(HOpConfig&)> get;
        std::function<void(HOpConfig&, unsigned long)> set;
        ColorForm form = ColorForm::Element;
    };
    // The accessor of an item text, or null for items without one.
    static const ItemAccessor* FindAccessor(const std::string& itemText);
    // The item texts of the tree for a config type, in order ("Top" and "Bottom" follow
    // "Background"; the roots are not listed).
    static std::vector<std::string> ItemTexts(int configType);

    explicit CConfig(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    ~CConfig() override;

    std::string GetCaption() const override { return "Colors"; }

    // Builds the preview and the tree and starts the 50 ms preview timer. For config type 2
    // "Pipe Color" is selected, for type 3 "Structural Steel"; otherwise nothing is.
    void OnInitDialog() override;
    // OnOK: the page is applied with the dialog.
    bool OnApply() override;

    // The tree.
    const std::vector<TreeItem>& GetItems() const { return m_items; }
    const std::vector<int>& GetRoots() const { return m_roots; }
    // First item with that text, -1 when none.
    int FindItem(const std::string& text) const;
    int GetSelectedItem() const { return m_selected; }

    // Selection change to `item`: its colour becomes the page's current colour and the
    // change button is enabled; for items without an accessor the colour is "bright white"
    // and the button is disabled. The preview is then asked to repaint.
    void OnSelchangingElements(int item);
    // Draws the preview: full redraw, gradient from the settings' window colours, the
    // sample style in the current colour.
    void OnPaint();
    // Asks the port's colour chooser for the selected item's new colour, starting from the
    // current one. On OK: paints the sample, for background items the preview window too,
    // and records the colour (SetCurrentColor). A cancelled chooser changes nothing.
    void OnChange();
    // Turns the preview by 5 degrees left-right and 5 up-down (timer 1).
    void OnTimer(unsigned int id) override;
    // Stops the timer, deletes the preview model, writes the changed colours, fills the
    // style segments and redraws the views.
    void OnOK();
    // Resets every colour (HOpConfig::ResetAll, at once), forgets unapplied changes, fills
    // the style segments and redraws the views.
    void OnResetall();
    // Fills the style segments from the plot properties, once for each view given with
    // SetViews (its cutting-plane segment), or without a view when there is none.
    void ResetAllColors();

    // The colour text of the selected item (or of `item`), as the preview shows it:
    // including changes not applied yet. "bright white" for items without an accessor.
    std::string GetCurrentColor() const;
    std::string GetCurrentColor(int item) const;
    // Records `color` for the selected item (written on OK) and returns it as
    // "R=%f G=%f B=%f". Items without an accessor: nothing recorded, "" returned.
    std::string SetCurrentColor(unsigned long color);

    // The sample's current colour text, and whether the change button is enabled.
    const std::string& GetSampleColor() const { return m_sampleColor; }
    bool IsChangeEnabled() const { return m_changeEnabled; }
    // Changes recorded and not yet written, by item text.
    const std::map<std::string, unsigned long>& GetPendingChanges() const { return m_pending; }

private:
    int AddItem(const std::string& text, int parent);
    void BuildTree();
    void BuildPreview();
    void WriteChange(const std::string& item, unsigned long color);

    std::vector<TreeItem> m_items;
    std::vector<int> m_roots;
    int m_selected = -1;
    std::string m_sampleColor = "bright white";
    bool m_changeEnabled = false;
    std::map<std::string, unsigned long> m_pending;
};
