// A one-line progress indicator for long work on a terminal. Silent when standard
// error is not a terminal or the work finishes within a second.
#pragma once

#include <chrono>
#include <string>

namespace ketra::app {

class Progress {
public:
    explicit Progress(std::string label);
    ~Progress();
    // Reports `done` of `total`; redraws at most ten times a second.
    void Update(long done, long total);
    void Finish();

private:
    std::string m_label;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
    bool m_tty = false;
    bool m_shown = false;
};

} // namespace ketra::app
