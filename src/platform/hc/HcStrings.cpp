#include "platform/hc/HcStrings.h"

#include <algorithm>
#include <vector>

namespace ketra::hc {

namespace {

// The sinks alive on this thread; a call writes into at most a few at a time.
std::vector<TextSink*>& Sinks() {
    thread_local std::vector<TextSink*> sinks;
    return sinks;
}

} // namespace

TextSink::TextSink() {
    Sinks().push_back(this);
}

TextSink::~TextSink() {
    auto& sinks = Sinks();
    sinks.erase(std::find(sinks.begin(), sinks.end(), this));
}

bool TextSink::Receive(const char* out, const std::string& text) {
    for (TextSink* sink : Sinks())
        if (sink->m_marker == out) {
            sink->m_text = text;
            return true;
        }
    return false;
}

} // namespace ketra::hc
