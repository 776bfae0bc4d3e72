// Contents search and flushing with segment specs and type filters.
#include "HcTestSupport.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace ketra::hc::test;

namespace {

using Found = std::vector<std::pair<std::string, HC_KEY>>;

Found Search(const char* segment, const char* filter) {
    Found out;
    HC_Begin_Contents_Search(segment, filter);
    char type[64];
    HC_KEY key;
    while (HC_Find_Contents(type, &key)) out.emplace_back(type, key);
    HC_End_Contents_Search();
    return out;
}

class SearchFlush : public GraphTest {
protected:
    // /lib with a shell, a marker, user options, a style and subsegments a (with a
    // polyline) and a/b (with a shell).
    void SetUp() override {
        GraphTest::SetUp();
        const float p[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        const int f[] = {3, 0, 1, 2};
        m_lib = HC_Open_Segment("/lib");
        m_shell = HC_Insert_Shell(3, p, 4, f);
        m_marker = HC_Insert_Marker(0, 0, 0);
        HC_Set_User_Options("from=1, to=2");
        HC_Style_Segment("/style library/pipes");
        m_a = HC_Open_Segment("a");
        m_polyline = HC_Insert_Polyline(2, p);
        m_b = HC_Open_Segment("b");
        m_deep = HC_Insert_Shell(3, p, 4, f);
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Close_Segment();
    }
    HC_KEY m_lib = -1, m_shell = -1, m_marker = -1, m_a = -1, m_polyline = -1, m_b = -1, m_deep = -1;
};

TEST_F(SearchFlush, FiltersSelectKindsAndDotsSelectTheSubtree) {
    EXPECT_EQ(Search("/lib", "shells"), (Found{{"shell", m_shell}}));
    EXPECT_EQ(Search("/lib/...", "shells"), (Found{{"shell", m_shell}, {"shell", m_deep}}));
    EXPECT_EQ(Search("/lib", "segments"), (Found{{"segment", m_a}}));
    EXPECT_EQ(Search("/lib/...", "segments"), (Found{{"segment", m_a}, {"segment", m_b}}));
    EXPECT_EQ(Search("/lib", "user options"), (Found{{"user options", m_lib}}));
    const Found geometry = Search("/lib/...", "geometry");
    EXPECT_EQ(geometry.size(), 4u);
    const Found all = Search("/lib", "everything");
    std::set<std::string> types;
    for (const auto& f : all) types.insert(f.first);
    EXPECT_EQ(types, (std::set<std::string>{"shell", "marker", "segment", "style", "user options"}));
    EXPECT_EQ(Search("/lib", "everything, no segments, no user options").size(), 3u);
    EXPECT_EQ(Search("/*/a", "polylines"), (Found{{"polyline", m_polyline}}));
    HC_Open_Segment("/lib");
    EXPECT_EQ(Search("...", "shells").size(), 2u);
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(SearchFlush, SearchesNestAndSkipItemsDeletedMeanwhile) {
    HC_Begin_Contents_Search("/lib/...", "shells");
    HC_KEY key = -1;
    ASSERT_TRUE(HC_Find_Contents(nullptr, &key));
    EXPECT_EQ(key, m_shell);
    // A nested search runs on its own.
    EXPECT_EQ(Search("/lib", "markers"), (Found{{"marker", m_marker}}));
    HC_Delete_By_Key(m_deep);
    EXPECT_FALSE(HC_Find_Contents(nullptr, &key));
    int count = 0;
    HC_Show_Contents_Count(&count);
    EXPECT_EQ(count, 2);
    HC_End_Contents_Search();
    EXPECT_EQ(TakeErrors(), 0u);
    EXPECT_FALSE(HC_Find_Contents(nullptr, &key));
    HC_End_Contents_Search();
    EXPECT_EQ(TakeErrors(), 2u);
}

TEST_F(SearchFlush, FlushRemovesOnlyWhatTheFilterNames) {
    HC_Flush_Contents("/lib", "geometry");
    EXPECT_EQ(HC_QShow_Existence("/lib", "geometry"), 0);
    EXPECT_EQ(HC_QShow_Existence("/lib/a", "polylines"), 1);  // not "..."
    EXPECT_EQ(HC_QShow_Existence("/lib", "user options, styles, segments"), 3);
    HC_Flush_Contents("/lib/...", "geometry, segments");
    EXPECT_EQ(HC_QShow_Existence("/lib", "segments"), 0);
    EXPECT_EQ(HC_QShow_Existence("/lib", "user options"), 1);
    char type[32];
    HC_Show_Key_Type(m_deep, type);
    EXPECT_STREQ(type, "invalid");
    HC_Flush_Contents("/lib", "everything");
    EXPECT_EQ(HC_QShow_Existence("/lib", "everything"), 0);
    EXPECT_EQ(HC_Show_Existence_By_Key(m_lib, "self"), 1);  // the segment itself stays
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(SearchFlush, FlushKeepsOpenSegmentsAndRejectsBadFilters) {
    HC_Open_Segment("/lib/a");
    HC_Flush_Contents("/lib", "segments");
    EXPECT_EQ(TakeErrors(), 1u);
    EXPECT_EQ(HC_Show_Existence_By_Key(m_a, "self"), 1);
    HC_Flush_Contents(".", "geometry");  // the open segment's contents go
    EXPECT_EQ(HC_Show_Existence("polylines"), 0);
    HC_Close_Segment();
    HC_Flush_Contents("/lib", "walls");
    HC_Flush_Contents("/lib", "");
    HC_Flush_Contents("/missing", "everything");
    HC_Flush_Contents(nullptr, "everything");
    EXPECT_EQ(TakeErrors(), 4u);
    EXPECT_EQ(HC_QShow_Existence("/lib", "shells"), 1);
}

}  // namespace
