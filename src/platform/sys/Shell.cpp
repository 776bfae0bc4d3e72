#include "platform/sys/Shell.h"

#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace ketra::sys {

Shell::Answer Shell::MessageBox(const std::string& text, const std::string& title, Icon,
                                Buttons buttons) {
    std::fprintf(stderr, "%s: %s\n", title.empty() ? "Ketra" : title.c_str(), text.c_str());
    return (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) ? Answer::Yes
                                                                          : Answer::Ok;
}

void Shell::Beep() {
    if (isatty(STDERR_FILENO))
        std::fputc('\a', stderr);
}

std::string Shell::UserName() {
    // getpwuid_r so a host thread elsewhere cannot clobber the static record.
    struct passwd pw {};
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result && pw.pw_name)
        return pw.pw_name;
    return {};
}

namespace {
Shell& DefaultShell() {
    static Shell shell;
    return shell;
}
Shell* g_shell = nullptr;
} // namespace

Shell& GetShell() { return g_shell ? *g_shell : DefaultShell(); }
void SetShell(Shell* shell) { g_shell = shell; }

} // namespace ketra::sys
