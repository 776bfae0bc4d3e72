// Qt menus and actions from the window layer's menu model. Every command action carries its
// command id in QAction::data(); its check mark, radio mark, enabled state and text come from
// the CMenu item at first and from the window's OnUpdateCommand afterwards.
#pragma once

#include <functional>

#include <string>

class CCmdUI;
class CMenu;
class CWnd;
class QAction;
class QMenu;
class QObject;
class QString;

namespace ketra::ui {

// An item's text for Qt: '&' mnemonics kept; a tab puts the accelerator text on the right.
QString QtItemText(const std::string& text);

// Appends the items of `menu` to `target`: commands as actions, separators, popups as
// submenus (recursively), with the items' '&' mnemonics, check, radio and grey states.
void FillQMenu(QMenu& target, const CMenu& menu);
// A command action for item text `text` (mnemonics kept) and id `id`, owned by `parent`.
QAction* MakeCommandAction(QObject* parent, const char* text, unsigned int id);
// The command id of an action, 0 for none (separators, submenus, Qt's own actions).
unsigned int CommandId(const QAction& action);

// Shows or clears a radio mark: the action joins (or leaves) the radio group of its menu or
// tool bar, which `owner` names.
void SetRadioMark(QAction& action, QObject& owner, bool radio);

// Asks `window` about the action's command and applies the answer. A command nobody updates
// is enabled when the window's command map has a handler for it and greyed otherwise (items
// without a handler do nothing when chosen).
void UpdateCommandAction(QAction& action, CWnd& window);
// The same for every command action of `menu` and its submenus.
void UpdateMenuActions(QMenu& menu, CWnd& window);
// The same, asking each command of the window that `windowFor(id)` gives (none: left alone).
void UpdateMenuActions(QMenu& menu, const std::function<CWnd*(unsigned int)>& windowFor);

} // namespace ketra::ui
