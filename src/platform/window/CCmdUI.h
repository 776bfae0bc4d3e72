// CCmdUI: what a command's update handler says about one menu item or tool-bar button:
// enabled, check mark (plain or radio) and text. The window layer builds one per item and
// asks the command map (CHoopsView::OnUpdateCommand); the toolkit skin applies the result.
#pragma once

#include <string>

class CCmdUI {
public:
    explicit CCmdUI(unsigned int id = 0) : m_nID(id) {}

    // Check states: 0 unchecked, 1 checked, 2 indeterminate.
    virtual void Enable(bool on = true) { m_enabled = on; m_enableSet = true; }
    virtual void SetCheck(int check = 1) { m_check = check; m_radio = false; m_checkSet = true; }
    virtual void SetRadio(bool on = true) { m_check = on ? 1 : 0; m_radio = true; m_checkSet = true; }
    virtual void SetText(const char* text) { m_text = text ? text : ""; m_textSet = true; }
    virtual ~CCmdUI() = default;

    unsigned int m_nID = 0;

    bool IsEnabled() const { return m_enabled; }
    int GetCheck() const { return m_check; }
    bool IsRadio() const { return m_radio; }
    const std::string& GetText() const { return m_text; }
    // Whether the handler said anything about each state (items nobody handled stay enabled
    // and unchecked).
    bool EnableWasSet() const { return m_enableSet; }
    bool CheckWasSet() const { return m_checkSet; }
    bool TextWasSet() const { return m_textSet; }

private:
    bool m_enabled = true;
    int m_check = 0;
    bool m_radio = false;
    std::string m_text;
    bool m_enableSet = false;
    bool m_checkSet = false;
    bool m_textSet = false;
};
