// CommandMap: command id -> what the command does and how its menu item looks. Window
// classes fill it in their constructors; CWnd::OnCommand and CWnd::OnUpdateCommand look ids
// up here, so a derived class (a host's) can replace one entry without touching the rest.
#pragma once

#include "platform/window/CCmdUI.h"

#include <functional>
#include <unordered_map>
#include <vector>

class CommandMap {
public:
    using Handler = std::function<void()>;
    using Updater = std::function<void(CCmdUI&)>;

    // Sets the handler and/or updater of `id` (an empty function leaves that part unset).
    void Add(unsigned int id, Handler handler, Updater updater = {});
    void SetUpdater(unsigned int id, Updater updater);
    void Remove(unsigned int id);

    bool HasHandler(unsigned int id) const;
    bool HasUpdater(unsigned int id) const;
    // Runs the handler; false when `id` has none.
    bool Execute(unsigned int id) const;
    // Runs the updater; false when `id` has none (the item keeps the toolkit's defaults).
    bool Update(unsigned int id, CCmdUI& ui) const;
    // Every id with a handler or an updater, ascending.
    std::vector<unsigned int> Ids() const;

private:
    struct Entry {
        Handler handler;
        Updater updater;
    };
    std::unordered_map<unsigned int, Entry> m_entries;
};
