// Notes, measurements and markup written to a scene file and read back can be found and
// re-attached as before.
#include <filesystem>
#include <unistd.h>

#include "NoteFixture.h"
#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "platform/mvo/HObjectManager.h"

using namespace notetest;

namespace {

std::vector<long> NotesBelow(long root)
{
    std::vector<long> out;
    HC_Open_Segment_By_Key(root);
    HC_Begin_Contents_Search("...", "segments");
    char type[64];
    long key;
    while (HC_Find_Contents(type, &key))
        if (HKetraUtilityAnnotation::IsAnnotation(key) && HObjectManager::FindHObjectSegment(key) == key)
            out.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    return out;
}

using NoteSceneFileTest = NoteTest;

} // namespace

TEST_F(NoteSceneFileTest, NotesRoundTripThroughASceneFile)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    const long notesSegment = HC_Open_Segment("notes");
    HC_Close_Segment();
    HC_Close_Segment();
    HKetraUtilityAnnotation note;
    note.Insert("Check \xC3\x84 support", HPoint(1, -1, 1), HPoint(2, 0, 2), notesSegment, view, -1, 2,
                true);
    note.SetTextFont("name = Arial, size = 9 pts");
    HKetraUtilityAnnotationMeasure measure;
    measure.Insert("4.00", HPoint(0, 0, 0), HPoint(4, 0, 0), notesSegment, view, -1, 1, true);
    measure.MoveText(HPoint(0, 0, 0), HPoint(4, 0, 0));
    measure.MoveText(HPoint(2, 0, 3));

    const std::string file = (std::filesystem::temp_directory_path() /
                              ("ketra-notes-" + std::to_string(::getpid()) + ".hmf"))
                                 .string();
    char path[4096];
    HC_Show_Segment(notesSegment, path);
    HC_Write_Metafile(path, file.c_str(), "");
    // As in a new session: the definitions are gone, the notes too.
    HC_Delete_By_Key(notesSegment);
    HC_UnDefine_Line_Style("HKetraUtilityAnnotation line style");
    HC_UnDefine_Glyph("HKetraUtilityAnnotation lcap_def");
    HC_Open_Segment_By_Key(model->GetModelKey());
    const long copy = HC_Open_Segment("copy");
    HC_Read_Metafile(file.c_str(), ".", "");
    HC_Close_Segment();
    HC_Close_Segment();
    std::filesystem::remove(file);

    int size = 0;
    HC_Show_Glyph_Size("HKetraUtilityAnnotation lcap_def", &size);
    EXPECT_EQ(size, 14);
    const auto notes = NotesBelow(copy);
    ASSERT_EQ(notes.size(), 2u);
    const long plainKey = HKetraUtilityAnnotation::IsNote(notes[0]) ? notes[0] : notes[1];
    const long measureKey = plainKey == notes[0] ? notes[1] : notes[0];
    ASSERT_TRUE(HKetraUtilityAnnotationMeasure::IsMeasurement(measureKey));

    HKetraUtilityAnnotation again;
    again.SetNote(plainKey, view);
    EXPECT_EQ(Utf16ToUtf8(again.GetText16()), "Check \xC3\x84 support");
    HPoint target, position;
    again.ShowTarget(target);
    again.ShowPosition(position);
    EXPECT_EQ(target, HPoint(1, -1, 1));
    EXPECT_EQ(position, HPoint(2, 0, 2));
    EXPECT_EQ(again.GetBackgroundType(), 2);
    std::unique_ptr<char[]> textSize(again.GetTextSize());
    EXPECT_EQ(Compact(textSize.get()), "9pts");
    // The corner markers keep their local numbers.
    HC_Open_Segment_By_Key(again.GetBackgroundSegmentKey());
    HC_Open_Segment("markers");
    EXPECT_EQ(KeyType(3), "marker");
    HC_Close_Segment();
    HC_Close_Segment();
    // Still editable: moving and retyping work on the read note.
    again.MoveText(HPoint(3, 0, 3), nullptr);
    again.SetText("moved");
    EXPECT_EQ(again.GetTextLength(), 5);

    HKetraUtilityAnnotationMeasure measured;
    measured.SetNote(measureKey, view);
    EXPECT_EQ(measured.GetFirstPoint(), HPoint(0, 0, 0));
    EXPECT_EQ(measured.GetSecondEnd(), HPoint(4, 0, 3));
}
