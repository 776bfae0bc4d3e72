// Shared fixture of the symbol builder tests: a fresh scene with a headless view, an element
// segment open to draw into, and readers for what the builder leaves in it.
#pragma once

#include "geometry/ShellData.h"
#include "geometry/ShellMerge.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "symbols/HCreatePlotSymbols.h"
#include "view/HBaseViewEx.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace symbols_test {

struct PolyCylinder {
    std::vector<HPoint> points;
    std::vector<float> radii;
};

inline PolyCylinder ReadPolyCylinder(long key) {
    PolyCylinder pc;
    int pcount = 0;
    int rcount = 0;
    HC_Show_PolyCylinder_Count(key, &pcount, &rcount);
    pc.points.resize(pcount);
    pc.radii.resize(rcount);
    char capping[64];
    HC_Show_PolyCylinder(key, &pcount, pc.points.data(), &rcount, pc.radii.data(), capping);
    return pc;
}

inline HPoint PointOf(const ShellData& shell, int i) {
    return {shell.points[i * 3], shell.points[i * 3 + 1], shell.points[i * 3 + 2]};
}

// Keys of every item of `kind` ("shells", "polycylinders", ...) in the segment at `path` and
// below it, in search order.
inline std::vector<long> Contents(const std::string& path, const char* kind) {
    std::vector<long> keys;
    if (HC_QShow_Existence(path.c_str(), "self") == 0) {
        return keys;
    }
    HC_Begin_Contents_Search((path + "/...").c_str(), kind);
    char type[64];
    long key = -1;
    while (HC_Find_Contents(type, &key)) {
        keys.push_back(key);
    }
    HC_End_Contents_Search();
    return keys;
}

// The first shell of level `level` of shell `key`; empty when there is none.
inline ShellData LodShell(long key, int level) {
    ShellData shell;
    HC_Open_Geometry(key);
    HC_Open_LOD(level);
    HC_Begin_Contents_Search(".", "shells");
    char type[64];
    long found = -1;
    const bool any = HC_Find_Contents(type, &found);
    HC_End_Contents_Search();
    HC_Close_LOD();
    HC_Close_Geometry();
    if (any) {
        ReadShell(found, shell);
    }
    return shell;
}

struct Bounds {
    HPoint min{1e30f, 1e30f, 1e30f};
    HPoint max{-1e30f, -1e30f, -1e30f};
    void Add(const HPoint& p) {
        min = HPoint(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
        max = HPoint(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
    }
    void Add(const ShellData& shell) {
        for (int i = 0; i < shell.PointCount(); ++i) {
            Add(PointOf(shell, i));
        }
    }
    HPoint Size() const { return max - min; }
};

class PlotSymbolsTest : public testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        m_model = std::make_unique<HBaseModel>();
        m_view = std::make_unique<HBaseViewEx>(m_model.get());
        m_builder = std::make_unique<HCreatePlotSymbols>(m_view.get(), 0, 1);
        m_element = HC_Open_Segment("/include library/halden/element");
    }
    void TearDown() override {
        while (HC_KShow_Open_Segment() != -1) {
            HC_Close_Segment();
        }
        m_builder.reset();
        m_view.reset();
        m_model.reset();
        HC_Reset_System();
    }

    // Scratch segments hold no geometry between calls.
    static void ExpectScratchEmpty() {
        for (const char* path : {"/include library/construction segment",
                                 "/include library/construction geometry",
                                 "/user library/construction segment"}) {
            EXPECT_TRUE(Contents(path, "geometry").empty()) << path;
        }
    }

    std::unique_ptr<HBaseModel> m_model;
    std::unique_ptr<HBaseViewEx> m_view;
    std::unique_ptr<HCreatePlotSymbols> m_builder;
    long m_element = -1;
};

} // namespace symbols_test
