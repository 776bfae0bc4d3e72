// Shared pieces of the Qt skin tests: a view window that records the messages it gets, and
// a way to answer the modal dialogs and popups the code under test opens.
#pragma once

#include "platform/window/CHoopsView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace uitest {

// Records every window message as one line: "LButtonDown 0x1 10,20", "KeyDown 0x25 1 0x100".
class RecordingView : public CHoopsView {
public:
    using CHoopsView::CHoopsView;
    std::vector<std::string> messages;
    std::vector<unsigned int> commands;

    void OnLButtonDown(unsigned int f, CPoint p) override { Mouse("LButtonDown", f, p); }
    void OnLButtonUp(unsigned int f, CPoint p) override { Mouse("LButtonUp", f, p); }
    void OnLButtonDblClk(unsigned int f, CPoint p) override { Mouse("LButtonDblClk", f, p); }
    void OnMButtonDown(unsigned int f, CPoint p) override { Mouse("MButtonDown", f, p); }
    void OnMButtonUp(unsigned int f, CPoint p) override { Mouse("MButtonUp", f, p); }
    void OnMButtonDblClk(unsigned int f, CPoint p) override { Mouse("MButtonDblClk", f, p); }
    void OnRButtonDown(unsigned int f, CPoint p) override { Mouse("RButtonDown", f, p); }
    void OnRButtonUp(unsigned int f, CPoint p) override { Mouse("RButtonUp", f, p); }
    void OnRButtonDblClk(unsigned int f, CPoint p) override { Mouse("RButtonDblClk", f, p); }
    void OnMouseMove(unsigned int f, CPoint p) override { Mouse("MouseMove", f, p); }
    bool OnMouseWheel(unsigned int f, short delta, CPoint p) override {
        Mouse("MouseWheel " + std::to_string(delta), f, p);
        return true;
    }
    void OnKeyDown(unsigned int c, unsigned int n, unsigned int f) override {
        Key("KeyDown", c, n, f);
    }
    void OnKeyUp(unsigned int c, unsigned int n, unsigned int f) override { Key("KeyUp", c, n, f); }
    void OnSize(unsigned int, int cx, int cy) override {
        messages.push_back("Size " + std::to_string(cx) + "x" + std::to_string(cy));
    }
    void OnPaint() override {
        ++paints;
        CHoopsView::OnPaint();
    }
    void OnTimer(unsigned int id) override { messages.push_back("Timer " + std::to_string(id)); }
    void OnMouseLeave() override { messages.push_back("MouseLeave"); }
    bool OnSetCursor(unsigned int hitTest, unsigned int message) override {
        setCursors.push_back({hitTest, message});
        return false;
    }
    std::vector<std::pair<unsigned int, unsigned int>> setCursors;
    bool OnCommand(unsigned int id) override {
        commands.push_back(id);
        return CHoopsView::OnCommand(id);
    }

    int paints = 0;

    // Messages of one kind (the first word), for tests that ignore the rest.
    std::vector<std::string> Only(const std::string& kind) const {
        std::vector<std::string> out;
        for (const std::string& m : messages)
            if (m.compare(0, kind.size() + 1, kind + " ") == 0)
                out.push_back(m);
        return out;
    }

private:
    static std::string Hex(unsigned int v) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", v);
        return text;
    }
    void Mouse(const std::string& what, unsigned int flags, CPoint p) {
        messages.push_back(what + " " + Hex(flags) + " " + std::to_string(p.x) + "," +
                           std::to_string(p.y));
    }
    void Key(const std::string& what, unsigned int c, unsigned int n, unsigned int f) {
        messages.push_back(what + " " + Hex(c) + " " + std::to_string(n) + " " + Hex(f));
    }
};

// Runs the event loop until `done` or `ms` milliseconds have passed; false on the timeout.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs `answer` on the first modal widget or popup that opens within a few seconds (from the
// event loop of the modal call the test makes next). Fails the test if none opens.
inline void WhenModalOpens(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
        QWidget* w = QApplication::activePopupWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        if (w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            answer(w);
            return;
        }
        if (++*tries > 200) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal widget opened";
        }
    });
    timer->start(20);
}

} // namespace uitest
