// Segments, paths, aliases and the lifetime of keys.
#include "HcTestSupport.h"

#include "platform/hc/SceneGraph.h"

#include <cstring>
#include <string>
#include <vector>

using namespace ketra::hc::test;

namespace {

std::string PathOf(HC_KEY key) {
    char buf[1024] = "";
    HC_Show_Segment(key, buf);
    return buf;
}

std::string KeyType(HC_KEY key) {
    char buf[64] = "";
    HC_Show_Key_Type(key, buf);
    return buf;
}

HC_KEY Triangle() {
    const float pts[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int faces[] = {3, 0, 1, 2};
    return HC_Insert_Shell(3, pts, 4, faces);
}

class Segments : public GraphTest {};

TEST_F(Segments, PathsAreCaseInsensitiveAndRelativeToTheOpenSegment) {
    const HC_KEY a = HC_Open_Segment("/Style Library/Pipes");
    HC_Close_Segment();
    EXPECT_EQ(HC_Open_Segment("/style library/PIPES"), a);
    const HC_KEY child = HC_Open_Segment("conditions/xarrow");
    EXPECT_EQ(PathOf(child), "/Style Library/Pipes/conditions/xarrow");
    EXPECT_EQ(HC_Open_Segment("../matrix"), HC_Create_Segment("/style library/pipes/conditions/matrix"));
    HC_Close_Segment();
    EXPECT_EQ(HC_Open_Segment("."), child);
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    char expanded[256];
    HC_Open_Segment_By_Key(child);
    HC_Show_Pathname_Expansion("..", expanded);
    EXPECT_STREQ(expanded, "/Style Library/Pipes/conditions");
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
    EXPECT_EQ(HC_KShow_Open_Segment(), -1);
}

TEST_F(Segments, ManyChildrenAreFoundInAnyCaseAfterRenamesAndDeletes) {
    // A parent with many children looks them up through an index; it must agree with the
    // names as they are now, in any case.
    std::vector<HC_KEY> keys;
    for (int i = 0; i < 40; ++i)
        keys.push_back(HC_Create_Segment(("/many/Pipe " + std::to_string(i)).c_str()));
    EXPECT_EQ(HC_Create_Segment("/MANY/pipe 17"), keys[17]);
    EXPECT_EQ(HC_Create_Segment("/many/PIPE 5"), keys[5]);
    HC_Rename_Segment("/many/pipe 17", "Bend A");
    EXPECT_EQ(HC_Create_Segment("/many/BEND a"), keys[17]);
    EXPECT_EQ(HC_QShow_Existence("/many/pipe 17", "self"), 0);
    HC_Delete_Segment("/many/bend A");
    EXPECT_EQ(HC_QShow_Existence("/many/Bend A", "self"), 0);
    EXPECT_EQ(HC_QShow_Existence("/many/pipe 39", "self"), 1);
    const HC_KEY again = HC_Create_Segment("/many/pipe 17");
    EXPECT_NE(again, keys[17]);
    EXPECT_EQ(PathOf(again), "/many/pipe 17");
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Segments, AliasesExpandAndCanBeRedefined) {
    const HC_KEY style = HC_Create_Segment("?Style Library/Bends");
    EXPECT_EQ(PathOf(style), "/style library/Bends");
    EXPECT_EQ(HC_Create_Segment("/STYLE LIBRARY/bends"), style);
    EXPECT_EQ(PathOf(HC_Create_Segment("?Include Library/halden")), "/include library/halden");
    HC_Define_Alias("?Picture", "/driver/null/test");
    EXPECT_EQ(PathOf(HC_Create_Segment("?Picture/scene")), "/driver/null/test/scene");
    EXPECT_EQ(HC_Create_Segment("?nowhere/x"), -1);
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Segments, NamelessSegmentsAreDistinctAndAddressable) {
    HC_Open_Segment("/model");
    const HC_KEY a = HC_Open_Segment("");
    HC_Close_Segment();
    const HC_KEY b = HC_Open_Segment("");
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_NE(a, b);
    const std::string path = PathOf(a);
    EXPECT_EQ(path, "/model/@" + std::to_string(a));
    EXPECT_EQ(HC_Create_Segment(path.c_str()), a);
    char name[64] = "x";
    HC_Show_Segment_Name(a, name);
    EXPECT_STREQ(name, "");
}

TEST_F(Segments, KeysAreNegativeUniqueAndNeverReused) {
    HC_Open_Segment("/a");
    const HC_KEY shell = Triangle();
    HC_Close_Segment();
    EXPECT_LT(shell, -1);
    EXPECT_EQ(KeyType(shell), "shell");
    HC_Delete_By_Key(shell);
    EXPECT_EQ(KeyType(shell), "invalid");
    HC_Open_Segment("/a");
    const HC_KEY next = Triangle();
    HC_Close_Segment();
    EXPECT_NE(next, shell);
    // A stale key is an error, never a crash, in every call that takes one.
    int p = 5, f = 5;
    HC_Show_Shell_Size(shell, &p, &f);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(f, 0);
    HC_Delete_By_Key(shell);
    HC_Open_Geometry(shell);
    EXPECT_EQ(HC_Show_Owner_By_Key(shell, nullptr), -1);
    EXPECT_EQ(TakeErrors(), 4u);
    // Keys stay invalid across a reset of the whole graph.
    HC_Reset_System();
    HC_Define_Error_Handler(&RecordError);
    EXPECT_EQ(KeyType(next), "invalid");
}

TEST_F(Segments, DeletingASegmentInvalidatesEverythingBelowAndItsReferences) {
    HC_Open_Segment("/lib/shape");
    const HC_KEY shell = Triangle();
    const HC_KEY sub = HC_Open_Segment("sub");
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Open_Segment("/scene");
    const HC_KEY inc = HC_Include_Segment("/lib/shape");
    const HC_KEY sty = HC_Style_Segment("/lib/shape");
    HC_Close_Segment();
    EXPECT_EQ(KeyType(inc), "include");
    EXPECT_EQ(KeyType(sty), "style");
    HC_Delete_Segment("/lib/shape");
    for (HC_KEY k : {shell, sub, inc, sty}) EXPECT_EQ(KeyType(k), "invalid") << k;
    EXPECT_EQ(HC_QShow_Existence("/scene", "includes, styles"), 0);
    EXPECT_EQ(TakeErrors(), 0u);
}

// Many segments styling and including one segment, their references deleted in a scattered
// order (each leaves the target's list in constant time, the last one taking its place): the
// target must still know exactly the others, so deleting it removes every one left.
TEST_F(Segments, ManyReferencesToOneSegmentLeaveItInAnyOrder) {
    HC_Open_Segment("/lib/style");
    HC_Close_Segment();
    std::vector<HC_KEY> holders, refs;
    for (int i = 0; i < 60; ++i) {
        holders.push_back(HC_Open_Segment(("/scene/e" + std::to_string(i)).c_str()));
        refs.push_back(i % 2 ? HC_Include_Segment("/lib/style") : HC_Style_Segment("/lib/style"));
        HC_Close_Segment();
    }
    for (int i = 0; i < 60; i += 3) HC_Delete_By_Key(refs[static_cast<size_t>((i * 7) % 60)]);
    for (int i = 59; i >= 0; i -= 4) HC_Delete_By_Key(holders[static_cast<size_t>(i)]);
    HC_Delete_Segment("/lib/style");
    for (size_t i = 0; i < holders.size(); ++i) {
        EXPECT_EQ(KeyType(refs[i]), "invalid") << i;
        if (KeyType(holders[i]) == "segment") {
            HC_Open_Segment_By_Key(holders[i]);
            EXPECT_EQ(HC_Show_Existence("includes, styles"), 0) << i;
            HC_Close_Segment();
        }
    }
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Segments, OpenSegmentsAreProtectedFromDeletion) {
    const HC_KEY outer = HC_Open_Segment("/outer");
    const HC_KEY inner = HC_Open_Segment("inner");
    HC_Delete_Segment("/outer");
    HC_Delete_By_Key(inner);
    EXPECT_EQ(TakeErrors(), 2u);
    EXPECT_EQ(KeyType(outer), "segment");
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Delete_By_Key(outer);
    EXPECT_EQ(KeyType(inner), "invalid");
    HC_Delete_Segment("/");
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Segments, RenameAndMoveKeepKeys) {
    HC_Open_Segment("/note/conditions/arrow");
    const HC_KEY line = HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    const HC_KEY arrow = HC_Create_Segment("/note/conditions/arrow");
    HC_Rename_Segment("/note/conditions/arrow", "xarrow");
    EXPECT_EQ(PathOf(arrow), "/note/conditions/xarrow");
    EXPECT_EQ(HC_Show_Owner_By_Key(line, nullptr), arrow);
    // Renaming onto an existing sibling or into the own subtree is refused.
    HC_Create_Segment("/note/conditions/other");
    HC_Rename_Segment("/note/conditions/xarrow", "other");
    HC_Rename_Segment("/note", "/note/conditions/deeper");
    EXPECT_EQ(TakeErrors(), 2u);
    EXPECT_EQ(PathOf(arrow), "/note/conditions/xarrow");
    // Move an item into a temporary segment and back.
    const HC_KEY owner = HC_Show_Owner_By_Key(line, nullptr);
    HC_Open_Segment_By_Key(owner);
    const HC_KEY temp = HC_Open_Segment("");
    HC_Move_By_Key(line, ".");
    EXPECT_EQ(HC_Show_Owner_By_Key(line, nullptr), temp);
    HC_Close_Segment();
    HC_Move_By_Key(line, ".");
    HC_Delete_By_Key(temp);
    HC_Close_Segment();
    EXPECT_EQ(HC_Show_Owner_By_Key(line, nullptr), arrow);
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Segments, RenumberedKeysResolveAndMapBack) {
    HC_Open_Segment("/markers");
    const HC_KEY m0 = HC_Insert_Marker(0, 0, 0);
    const HC_KEY m1 = HC_Insert_Marker(1, 0, 0);
    EXPECT_EQ(HC_Renumber_Key(m0, 0, "local"), 0);
    EXPECT_EQ(HC_Renumber_Key(m1, 1, "local"), 1);
    EXPECT_EQ(HC_Renumber_Key(m1, 0, "local"), -1);  // in use
    EXPECT_EQ(HC_Show_Original_Key(1), m1);
    float x = -1;
    HC_Show_Marker(1, &x, nullptr, nullptr);
    EXPECT_EQ(x, 1.0f);
    HC_Close_Segment();
    // Local keys resolve only while their segment is open.
    EXPECT_EQ(KeyType(1), "invalid");
    const HC_KEY seg = HC_Create_Segment("/elsewhere");
    EXPECT_EQ(HC_Renumber_Key(seg, 4711, "global"), 4711);
    EXPECT_EQ(HC_Show_Original_Key(4711), seg);
    EXPECT_EQ(KeyType(4711), "segment");
    // Contents searches report the user key.
    HC_Open_Segment("/markers");
    HC_Begin_Contents_Search(".", "markers");
    HC_KEY k = -1;
    char type[64];
    ASSERT_TRUE(HC_Find_Contents(type, &k));
    EXPECT_EQ(k, 0);
    HC_End_Contents_Search();
    HC_Close_Segment();
    EXPECT_EQ(HC_Renumber_Key(seg, -5, "global"), -1);
    EXPECT_EQ(HC_Renumber_Key(seg, 5, "sideways"), -1);
    EXPECT_EQ(TakeErrors(), 3u);
    HC_Delete_By_Key(seg);
    EXPECT_EQ(KeyType(4711), "invalid");
}

TEST_F(Segments, IncludesCannotFormCycles) {
    HC_Open_Segment("/a/b");
    EXPECT_EQ(HC_Include_Segment("/a"), -1);
    EXPECT_EQ(HC_Include_Segment("."), -1);
    EXPECT_NE(HC_Include_Segment("/c"), -1);
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 2u);
    char path[256];
    HC_KEY inc = -1;
    HC_Open_Segment("/a/b");
    HC_Begin_Contents_Search(".", "includes");
    ASSERT_TRUE(HC_Find_Contents(nullptr, &inc));
    HC_End_Contents_Search();
    HC_Close_Segment();
    EXPECT_EQ(HC_Show_Include_Segment(inc, path), HC_Create_Segment("/c"));
    EXPECT_STREQ(path, "/c");
}

TEST_F(Segments, ExistenceCountsAttributesGeometryAndOptions) {
    HC_Open_Segment("/seg");
    Triangle();
    Triangle();
    HC_Insert_Marker(0, 0, 0);
    HC_Set_Visibility("faces=on");
    HC_Set_Rendering_Options("lod, lighting interpolation");
    HC_Set_User_Options("from=10, to=20");
    EXPECT_EQ(HC_Show_Existence("shells"), 2);
    EXPECT_EQ(HC_Show_Existence("geometry"), 3);
    EXPECT_EQ(HC_Show_Existence("visibility"), 1);
    EXPECT_EQ(HC_Show_Existence("color"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lod"), 1);
    EXPECT_EQ(HC_Show_Existence("rendering options = lodo"), 0);
    EXPECT_EQ(HC_Show_Existence("user option = from"), 1);
    HC_Close_Segment();
    EXPECT_EQ(HC_QShow_Existence("/seg", "visibility"), 1);
    EXPECT_EQ(HC_QShow_Existence("/no/such/segment", "visibility"), 0);
    EXPECT_EQ(HC_Show_Existence_By_Key(-123456, "self"), 0);
    EXPECT_EQ(TakeErrors(), 0u);
    EXPECT_EQ(HC_QShow_Existence("/seg", "walls"), 0);
    EXPECT_EQ(TakeErrors(), 1u);
    // QShow does not create the segment it asks about.
    EXPECT_EQ(HC_Show_Existence_By_Key(HC_Create_Segment("/"), "segments"), 1);
}

}  // namespace

TEST_F(Segments, MovedShellTakesTheLocalKeysOfItsLevelsAlong) {
    HC_Open_Segment("/a");
    const HC_KEY shell = Triangle();
    HC_Open_Geometry(shell);
    HC_Open_LOD(1);
    const HC_KEY level = Triangle();
    HC_Close_LOD();
    HC_Close_Geometry();
    EXPECT_EQ(HC_Renumber_Key(level, 77, "local"), 77);
    HC_Close_Segment();
    HC_Move_By_Key(shell, "/b");
    // The level's local key now resolves in the shell's new segment only.
    HC_Open_Segment("/b");
    EXPECT_EQ(KeyType(77), "shell");
    HC_Close_Segment();
    HC_Open_Segment("/a");
    EXPECT_EQ(KeyType(77), "invalid");
    HC_Close_Segment();
    TakeErrors();
    // Deleting the shell deletes its levels and their keys, wherever they were named.
    HC_Delete_By_Key(shell);
    for (const char* path : {"/a", "/b"}) {
        HC_Open_Segment(path);
        EXPECT_EQ(KeyType(77), "invalid") << path;
        HC_Close_Segment();
    }
}
