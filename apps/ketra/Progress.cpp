#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace ketra::app {

Progress::Progress(std::string label)
    : m_label(std::move(label)), m_start(std::chrono::steady_clock::now()), m_lastDraw(m_start),
      m_tty(isatty(STDERR_FILENO) != 0) {}

Progress::~Progress() { Finish(); }

void Progress::Update(long done, long total) {
    if (!m_tty)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - m_start < std::chrono::seconds(1))
        return;
    if (m_shown && now - m_lastDraw < std::chrono::milliseconds(100))
        return;
    m_lastDraw = now;
    m_shown = true;
    int percent = total > 0 ? static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)) : 0;
    std::fprintf(stderr, "\r%s %3d%% (%ld/%ld)", m_label.c_str(), percent, done, total);
    std::fflush(stderr);
}

void Progress::Finish() {
    if (m_shown) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        m_shown = false;
    }
}

} // namespace ketra::app
