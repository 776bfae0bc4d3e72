// KetraBaseOperator: the second base of operators that need the view window they work in
// (markup operators tell it about notes). It holds the window (a CHoopsViewEx, seen through
// the KetraViewWindow interface it implements), not owned; copies share it.
#pragma once

class KetraViewWindow;

class KetraBaseOperator {
public:
    explicit KetraBaseOperator(KetraViewWindow* window = nullptr) : m_pKetraView(window) {}
    KetraBaseOperator(const KetraBaseOperator&) = default;
    KetraBaseOperator& operator=(const KetraBaseOperator&) = default;
    virtual ~KetraBaseOperator() = default;

protected:
    // The window given at construction (may be null).
    virtual KetraViewWindow* GetKetraView() const { return m_pKetraView; }

    KetraViewWindow* m_pKetraView = nullptr;
};
