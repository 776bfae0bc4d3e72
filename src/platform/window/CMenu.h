// CMenu: a menu model as window menus and context menus use it. A menu is a list of items;
// an item is a command (id and text), a separator, or a popup that holds another menu. Items
// are addressed by command id (searching popups too) or by position, with the MF_ flags
// below. Menus come from resource scripts (LoadMenu) or are built with AppendMenu; a toolkit
// shows one through WindowPort::TrackPopupMenu.
#pragma once

#include <memory>
#include <string>
#include <vector>

class CWnd;

// Item flags (the Windows values, so host code passes its own constants unchanged).
enum : unsigned int {
    MF_BYCOMMAND = 0x0000,
    MF_STRING = 0x0000,
    MF_ENABLED = 0x0000,
    MF_UNCHECKED = 0x0000,
    MF_GRAYED = 0x0001,
    MF_DISABLED = 0x0002,
    MF_CHECKED = 0x0008,
    MF_POPUP = 0x0010,
    MF_BYPOSITION = 0x0400,
    MF_SEPARATOR = 0x0800,
};

// TrackPopupMenu flags: with TPM_RETURNCMD the chosen id is returned and nothing is sent;
// without it the id goes to the owner window's OnCommand.
enum : unsigned int {
    TPM_LEFTALIGN = 0x0000,
    TPM_RIGHTBUTTON = 0x0002,
    TPM_RETURNCMD = 0x0100,
};

class CMenu {
public:
    struct Item {
        unsigned int id = 0;         // 0 for separators and popups
        std::string text;            // as written, with '&' mnemonics
        bool separator = false;
        bool checked = false;
        bool radio = false;          // checked with a radio mark
        bool grayed = false;
        std::unique_ptr<CMenu> popup;
    };

    CMenu() = default;
    CMenu(const CMenu& other);
    CMenu& operator=(const CMenu& other);
    CMenu(CMenu&&) = default;
    CMenu& operator=(CMenu&&) = default;

    // Loads menu `id` from the current resource module (ketra::window::GetResourceHandle).
    // Returns false (and leaves the menu empty) when there is no such menu or its script is
    // bad; a bad script is reported on stderr with the menu id and line.
    bool LoadMenu(unsigned int id);
    // Parses a resource script that defines one MENU (the first one found); false with a
    // message "line N: what" in *error on bad input.
    bool LoadFromScript(const std::string& script, std::string* error = nullptr);
    bool CreatePopupMenu() { m_items.clear(); return true; }
    void DestroyMenu() { m_items.clear(); }

    int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
    // Id of the item at `position`: 0 for a separator, 0xFFFFFFFF for a popup or a position
    // out of range.
    unsigned int GetMenuItemID(int position) const;
    // The popup at `position`, null when that item is no popup. Valid until the item is
    // deleted or the menu changes.
    CMenu* GetSubMenu(int position) const;
    // Text of an item by command or position (MF_BYCOMMAND / MF_BYPOSITION); empty when none.
    std::string GetMenuString(unsigned int item, unsigned int flags) const;
    // MF_CHECKED, MF_GRAYED, MF_POPUP, MF_SEPARATOR bits of an item, 0xFFFFFFFF when none.
    unsigned int GetMenuState(unsigned int item, unsigned int flags) const;

    // Previous check state (MF_CHECKED or MF_UNCHECKED), 0xFFFFFFFF when there is no item.
    unsigned int CheckMenuItem(unsigned int item, unsigned int flags);
    // Radio-checks `check` and unchecks the others of first..last (ids, or positions with
    // MF_BYPOSITION). False when `check` is outside the range or not found.
    bool CheckMenuRadioItem(unsigned int first, unsigned int last, unsigned int check,
                            unsigned int flags);
    // MF_GRAYED / MF_DISABLED / MF_ENABLED; previous state or 0xFFFFFFFF when there is no item.
    unsigned int EnableMenuItem(unsigned int item, unsigned int flags);
    // Removes an item (a popup with its menu). False when there is none.
    bool DeleteMenu(unsigned int item, unsigned int flags);
    bool RemoveMenu(unsigned int item, unsigned int flags) { return DeleteMenu(item, flags); }
    // Replaces the text (and, for MF_BYCOMMAND, keeps the id). False when there is no item.
    bool ModifyMenu(unsigned int item, unsigned int flags, unsigned int newId, const char* text);
    bool AppendMenu(unsigned int flags, unsigned int id = 0, const char* text = nullptr);
    // A popup item holding a copy of `popup`.
    bool AppendPopup(const char* text, const CMenu& popup);

    // Shows the menu at screen point (x, y) through the owner's window port. Returns the
    // chosen id with TPM_RETURNCMD; otherwise sends it to owner->OnCommand and returns
    // non-zero when something was chosen. Owner null: returns 0.
    unsigned int TrackPopupMenu(unsigned int flags, int x, int y, CWnd* owner) const;

    const std::vector<Item>& Items() const { return m_items; }
    // Every command id in the menu and its popups, in menu order (separators excluded).
    std::vector<unsigned int> CommandIds() const;

private:
    // Finds an item by command (depth first through popups) or by position.
    Item* Find(unsigned int item, unsigned int flags, CMenu** owner = nullptr, int* index = nullptr);
    const Item* Find(unsigned int item, unsigned int flags) const;

    std::vector<Item> m_items;
};
