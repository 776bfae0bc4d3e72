// KetraBaseOperator: the second base of operators that need the view window they work in
// (markup operators tell it about notes). It holds the window pointer, not owned; copies
// share it.
#pragma once

class CHoopsViewEx;

class KetraBaseOperator {
public:
    explicit KetraBaseOperator(CHoopsViewEx* window = nullptr) : m_pKetraView(window) {}
    KetraBaseOperator(const KetraBaseOperator&) = default;
    KetraBaseOperator& operator=(const KetraBaseOperator&) = default;
    virtual ~KetraBaseOperator() = default;

protected:
    // The window given at construction (may be null).
    virtual CHoopsViewEx* GetKetraView() const { return m_pKetraView; }

    CHoopsViewEx* m_pKetraView = nullptr;
};
