#pragma once
// Shared fixture of the geometry builders' scene tests: a fresh scene graph per test, an
// element segment open while the builder runs, every reported HC error recorded, and helpers
// that read shells and their levels of detail back.

#include "geometry/ShellData.h"
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class GeometrySceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HC_Reset_System();
        Errors().clear();
        HC_Define_Error_Handler(&Record);
        m_segment = HC_Open_Segment("/model/element");
    }
    void TearDown() override
    {
        HC_Reset_System();
    }

    static std::vector<std::string>& Errors()
    {
        static std::vector<std::string> errors;
        return errors;
    }
    static void Record(int, int, int, const char* function, const char* message)
    {
        Errors().push_back(std::string(function ? function : "") + ": " +
                           (message ? message : ""));
    }

    // Keys of the items of `kind` ("shells", "polycylinders", "segments", "geometry") in the
    // segment `segment` (the open one for ".").
    static std::vector<long> Find(const char* segment, const char* kind)
    {
        std::vector<long> keys;
        HC_Begin_Contents_Search(segment, kind);
        char type[64];
        long key = 0;
        while (HC_Find_Contents(type, &key)) {
            keys.push_back(key);
        }
        HC_End_Contents_Search();
        return keys;
    }

    static ShellData Read(long key)
    {
        ShellData s;
        int points = 0;
        int faces = 0;
        HC_Show_Shell_Size(key, &points, &faces);
        s.points.resize(static_cast<size_t>(points) * 3);
        s.faces.resize(static_cast<size_t>(faces));
        HC_Show_Shell(key, &points, s.points.data(), &faces, s.faces.data());
        return s;
    }

    // The shells stored at a level of detail of a shell (empty when the level has none).
    static std::vector<ShellData> ReadLod(long key, int level)
    {
        std::vector<ShellData> shells;
        HC_Open_Geometry(key);
        HC_Open_LOD(level);
        for (long k : Find(".", "shells")) {
            shells.push_back(Read(k));
        }
        HC_Close_LOD();
        HC_Close_Geometry();
        return shells;
    }

    long m_segment = -1;
};
