// A Shell that records messages instead of showing them, installed for one test's life.
#pragma once

#include "platform/sys/Shell.h"

#include <string>
#include <vector>

namespace ketra::test {

class RecordingShell : public sys::Shell {
public:
    RecordingShell() { sys::SetShell(this); }
    ~RecordingShell() override { sys::SetShell(nullptr); }

    Answer MessageBox(const std::string& text, const std::string&, Icon, Buttons) override {
        messages.push_back(text);
        return Answer::Ok;
    }
    void Beep() override { ++beeps; }
    std::string UserName() override { return userName; }

    std::vector<std::string> messages;
    int beeps = 0;
    std::string userName = "tester";
};

} // namespace ketra::test
