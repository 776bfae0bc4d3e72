// The few desktop services the component asks of its host platform: message boxes,
// beeps, the user's name and folders. The default shell prints messages to stderr;
// the UI installs a Qt one; tests install a recording one.
#pragma once

#include <string>

namespace ketra::sys {

class Shell {
public:
    enum class Icon { Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Shell() = default;

    // Shows a message to the user and returns the button chosen. The default shell
    // prints "title: text" on stderr and answers Ok (or Yes for yes/no questions).
    virtual Answer MessageBox(const std::string& text, const std::string& title, Icon icon,
                              Buttons buttons);
    // The system's default beep. The default shell writes BEL to stderr when it is a terminal.
    virtual void Beep();
    // Login name of the current user, from the password database ("" if unknown).
    virtual std::string UserName();
};

// The process-wide shell. Never null: SetShell(nullptr) restores the default.
// The caller keeps ownership of a shell it installs and must reset it before destroying it.
Shell& GetShell();
void SetShell(Shell* shell);

} // namespace ketra::sys
