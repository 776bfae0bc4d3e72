// Shared fixture of the scene-graph tests: a fresh graph per test and a
// handler that records every reported problem instead of printing it.
#pragma once

#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ketra::hc::test {

struct ReportedError {
    int category;
    std::string function;
    std::string message;
};

inline std::vector<ReportedError>& Errors() {
    static std::vector<ReportedError> errors;
    return errors;
}

inline void RecordError(int category, int, int, const char* function, const char* message) {
    Errors().push_back({category, function ? function : "", message ? message : ""});
}

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(&RecordError);
        Errors().clear();
    }
    void TearDown() override { HC_Reset_System(); }

    // Number of problems reported since the last call, then forgets them.
    static size_t TakeErrors() {
        const size_t n = Errors().size();
        Errors().clear();
        return n;
    }
    static std::string LastError() { return Errors().empty() ? "" : Errors().back().message; }
};

}  // namespace ketra::hc::test
