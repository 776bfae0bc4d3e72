#include "platform/ui/QtMenuBuilder.h"

#include "platform/window/CCmdUI.h"
#include "platform/window/CMenu.h"
#include "platform/window/CWnd.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace ketra::ui {
namespace {

constexpr const char* kRadioGroupName = "ketraRadioGroup";

QActionGroup& RadioGroup(QObject& owner) {
    if (auto* group = owner.findChild<QActionGroup*>(kRadioGroupName, Qt::FindDirectChildrenOnly))
        return *group;
    auto* group = new QActionGroup(&owner);
    group->setObjectName(kRadioGroupName);
    // Radio marks come from the window's answers, one action at a time: the group only draws
    // them as radio marks and must not uncheck on its own beyond what Windows menus do.
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    return *group;
}

} // namespace

QString QtItemText(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

QAction* MakeCommandAction(QObject* parent, const char* text, unsigned int id) {
    auto* action = new QAction(QtItemText(text ? text : ""), parent);
    action->setData(id);
    return action;
}

unsigned int CommandId(const QAction& action) {
    bool ok = false;
    const unsigned int id = action.data().toUInt(&ok);
    return ok && !action.isSeparator() && !action.menu() ? id : 0;
}

void SetRadioMark(QAction& action, QObject& owner, bool radio) {
    if (radio) {
        if (!action.actionGroup())
            RadioGroup(owner).addAction(&action);
    } else if (QActionGroup* group = action.actionGroup()) {
        group->removeAction(&action);
    }
}

void FillQMenu(QMenu& target, const CMenu& menu) {
    for (const CMenu::Item& item : menu.Items()) {
        if (item.separator) {
            target.addSeparator();
            continue;
        }
        if (item.popup) {
            QMenu* sub = target.addMenu(QtItemText(item.text));
            sub->setEnabled(!item.grayed);
            FillQMenu(*sub, *item.popup);
            continue;
        }
        QAction* action = MakeCommandAction(&target, item.text.c_str(), item.id);
        action->setCheckable(item.checked || item.radio);
        action->setChecked(item.checked);
        if (item.radio)
            SetRadioMark(*action, target, true);
        action->setEnabled(!item.grayed);
        target.addAction(action);
    }
}

void UpdateCommandAction(QAction& action, CWnd& window) {
    const unsigned int id = CommandId(action);
    if (id == 0)
        return;
    CCmdUI ui(id);
    window.OnUpdateCommand(id, ui);
    action.setEnabled(ui.EnableWasSet() ? ui.IsEnabled() : window.Commands().HasHandler(id));
    if (ui.CheckWasSet()) {
        QObject* owner = action.parent() ? action.parent() : &action;
        SetRadioMark(action, *owner, ui.IsRadio());
        action.setCheckable(true);
        action.setChecked(ui.GetCheck() != 0);
    }
    if (ui.TextWasSet()) {
        // An empty text hides the item (a list of recent files shorter than its slots).
        action.setText(QtItemText(ui.GetText()));
        action.setVisible(!ui.GetText().empty());
    }
}

void UpdateMenuActions(QMenu& menu, CWnd& window) {
    UpdateMenuActions(menu, [&window](unsigned int) { return &window; });
}

void UpdateMenuActions(QMenu& menu, const std::function<CWnd*(unsigned int)>& windowFor) {
    for (QAction* action : menu.actions()) {
        if (QMenu* sub = action->menu()) {
            UpdateMenuActions(*sub, windowFor);
        } else if (CWnd* window = windowFor(CommandId(*action))) {
            UpdateCommandAction(*action, *window);
        }
    }
}

} // namespace ketra::ui
