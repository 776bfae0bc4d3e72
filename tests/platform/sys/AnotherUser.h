// Runs a piece of a test in a child process that does not own the files the test made: as
// root the child becomes "nobody" (65534), since root would pass every permission check;
// otherwise it stays the same user, and files made read-only with chmod deny it too.
#pragma once

#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ketra::test {

// The child's exit status from `body` (its return value), or -1 when it did not exit.
// Folders the child must use need mode 0777 when the test runs as root.
inline int RunAsAnotherUser(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(125);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace ketra::test
