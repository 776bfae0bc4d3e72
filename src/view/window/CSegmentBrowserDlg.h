// CSegmentBrowserDlg: a diagnostic tree of a view's scene graph, as the segment browser dock
// shows it. Items are segments (their last name), includes (the included segment's name) and
// anything else by key ("%d"); children (subsegments and includes) are listed when a branch
// is expanded. Selecting an item selects it in the view; an information list gives counts.
// The widgets live in the Qt skin; this class decides what they show.
#pragma once

#include <functional>
#include <string>
#include <vector>

typedef long HC_KEY;

class HBaseView;

class CSegmentBrowserDlg {
public:
    enum class Kind { Segment, Include, Other };
    struct Item {
        HC_KEY key = -1;             // the tree item's own key (the include's key for includes)
        HC_KEY segment = -1;         // the segment it stands for (the included one for includes)
        Kind kind = Kind::Other;
        std::string text;
        int parent = -1;
        std::vector<int> children;
        bool filled = false;         // children listed
    };

    static constexpr const char* kStandardView = "Standard View";
    static constexpr const char* kExpandedView = "Expanded View";

    // The view must outlive the browser (or be reset with SetView before it goes).
    CSegmentBrowserDlg(HBaseView* view, std::string documentName);

    // What a host knows of a segment, in its users' words: the name its item shows ("Pipe
    // 10–20", "Pipes (9)") and the lines its information list shows instead of the counts.
    // An empty name keeps the segment's own name; no lines keep the counts.
    struct Description {
        std::string name;
        std::vector<std::string> lines;
    };
    using Describer = std::function<Description(HC_KEY segment)>;
    // Applies to the items made from now on (Open and later expansions).
    void SetDescriber(Describer describer) { m_describer = std::move(describer); }

    void SetView(HBaseView* view);
    HBaseView* GetView() const { return m_view; }

    // "Segment Browser - <document name>".
    std::string GetTitle() const;
    // Builds the tree from the model segment and shows the model's totals.
    void Open();

    int GetRoot() const { return m_root; }
    const Item& GetItem(int id) const { return m_items.at(static_cast<size_t>(id)); }
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    // Lists the item's children on first call; returns them.
    const std::vector<int>& Expand(int id);
    // Ids of the items the last FollowSelection expanded to (innermost last per selection).
    const std::vector<int>& GetExpandedPath() const { return m_followed; }

    // Deselects everything in the view and selects the item: segments and includes (their
    // included segment) at segment level, other items at entity level. Shows the segment's
    // counts in the information list.
    void SelectItem(int id);
    const std::vector<std::string>& GetInformation() const { return m_information; }

    // "Standard View" while the tree is rooted at the model segment; a press roots it at "/"
    // ("Expanded View") or back. Clears the view's selection and rebuilds the tree.
    const std::string& GetViewButtonText() const { return m_buttonText; }
    void OnViewButton();

    // While rooted at the model segment: expands the tree along the owner chain of every
    // selected item up to the model segment, through the includes it was selected through.
    void FollowSelection();

private:
    void Rebuild(HC_KEY rootSegment);
    int AddItem(HC_KEY key, int parent);
    void ShowCounts(HC_KEY segment, bool details);
    HC_KEY ModelSegment() const;

    HBaseView* m_view = nullptr;
    std::string m_documentName;
    std::vector<Item> m_items;
    int m_root = -1;
    std::vector<std::string> m_information;
    std::string m_buttonText = kStandardView;
    std::vector<int> m_followed;
    Describer m_describer;
};
