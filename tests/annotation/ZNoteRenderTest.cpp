// Runs last in this program (file order): renders notes with each background headless and
// checks that their boxes keep their screen size when the camera zooms. The pictures are
// written to the build folder (notes-zoom1.png, notes-zoom2.png) to be looked at; with
// KETRA_NOTE_SCENE naming a scene file (e.g. the sample plant written by `ketra render
// samples/plant.json -o plant.hmf`) the notes stand over that model.
#include <cstdlib>
#include <memory>
#include <string>

#include "annotation/HKetraUtilityAnnotation.h"
#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "NoteFixture.h"
#include "platform/render/Renderer.h"

namespace {

struct Shot {
    int x = 0, y = 0; // the anchor's pixel (origin top-left)
};

// Pixel of a world point in a w x h window (origin top-left).
Shot PixelOf(HBaseView& view, const HPoint& world, int w, int h)
{
    const HPoint p = view.WorldToWindow(world);
    return {static_cast<int>((p.x + 1) / 2 * w), static_cast<int>((1 - p.y) / 2 * h)};
}

bool Yellowish(const ketra::render::Image::Pixel& p) { return p.r > 200 && p.g > 200 && p.b < 170; }

} // namespace

// A headless 800 x 600 view of an empty model; skipped where headless GL is missing.
class NoteRender : public ::testing::Test {
protected:
    static constexpr int kW = 800, kH = 600;
    void SetUp() override {
        std::string why;
        if (!ketra::render::HeadlessAvailable(&why))
            GTEST_SKIP() << "no headless GL: " << why;
        HBaseView::SetAutoInstallDisplayDriver(true);
        m_model = std::make_unique<HBaseModel>();
        m_model->Init();
        m_view = std::make_unique<HMyBaseView>(m_model.get(), nullptr, nullptr, nullptr, 0, 0);
        m_view->Init();
        HBaseView::SetAutoInstallDisplayDriver(false);
        m_view->SetWindowSizeInPixels(kW, kH);
    }
    void TearDown() override {
        m_view.reset(); // before its model
        m_model.reset();
    }
    std::unique_ptr<HBaseModel> m_model;
    std::unique_ptr<HMyBaseView> m_view;
};

TEST_F(NoteRender, NotesKeepTheirScreenSizeWhenZoomed)
{
    HBaseModel& model = *m_model;
    HMyBaseView& view = *m_view;
    const char* scene = std::getenv("KETRA_NOTE_SCENE");
    HC_Open_Segment_By_Key(model.GetModelKey());
    if (scene && *scene) {
        HC_Read_Metafile(scene, ".", "");
    } else {
        HC_Set_Color("faces = grey");
        notetest::InsertBox({-4, -1, -1}, {4, 1, 1});
        notetest::InsertBox({-1, -1, 1}, {1, 1, 6});
    }
    HC_Close_Segment();
    view.SetViewMode(HViewIsoSE);
    // Room for the notes above the model.
    HC_Open_Segment_By_Key(view.GetSceneKey());
    HC_Zoom_Camera(0.6);
    HC_Close_Segment();
    HPoint mn, mx;
    HC_Compute_Circumcuboid_By_Key(model.GetModelKey(), &mn, &mx);
    const HPoint centre = (mn + mx) * 0.5f, size = mx - mn;

    const char* texts[3] = {"Ellipse: check clearance", "Rectangle: support S-12",
                            "Cloud: relocate valve"};
    HKetraUtilityAnnotation notes[3];
    HPoint anchors[3];
    for (int i = 0; i < 3; ++i) {
        const HPoint target(mn.x + size.x * (0.2f + 0.3f * i), centre.y, mx.z);
        anchors[i] = HPoint(target.x - size.x * 0.1f, target.y, mx.z + size.z * (0.1f + 0.08f * i));
        notes[i].Insert(texts[i], target, anchors[i], model.GetModelKey(), &view, -1, i, true);
        notes[i].SetColor("text = (r=0 g=0 b=0.6), lines = (r=0.8 g=0 b=0), edges = (r=0.8 g=0 b=0), "
                          "faces = (r=1 g=1 b=0.55)");
        notes[i].SetTextFont("name = Arial, size = 10 pts");
        notes[i].SetLineWeight(2);
        notes[i].Resize(view.GetViewKey(), view.GetIncludeLinkKey());
    }
    HKetraUtilityAnnotationMeasure measure;
    const HPoint a(mn.x, mn.y, mn.z), b(mx.x, mn.y, mn.z);
    measure.Insert("8.00 in", a, b, model.GetModelKey(), &view, -1, 1, true);
    measure.SetColor("text = black, lines = (r=0 g=0.4 b=0), faces = (r=1 g=1 b=0.55)");
    measure.MoveText(a, b);
    measure.MoveText(HPoint((a.x + b.x) / 2, a.y, a.z - size.z * 0.3f));

    const std::string folder = KETRA_BINARY_DIR;
    float outside[2] = {0, 0}, inside[2] = {0, 0};
    for (int zoom = 0; zoom < 2; ++zoom) {
        if (zoom == 1) {
            HC_Open_Segment_By_Key(view.GetSceneKey());
            HC_Zoom_Camera(1.6);
            HC_Close_Segment();
        }
        view.Update();
        const std::string file = folder + "/notes-zoom" + std::to_string(zoom + 1) + ".png";
        EXPECT_EQ(view.FileOutput(file.c_str(), nullptr, nullptr), OutputOK) << file;
        const ketra::render::Image* frame = ketra::render::LastFrame(view.GetViewKey());
        ASSERT_NE(frame, nullptr);
        // The rectangle note: its fill just below the anchor's text line, and nothing of it
        // some pixels further out, at both zoom levels.
        const Shot at = PixelOf(view, anchors[1], kW, kH);
        int insideCount = 0, outsideCount = 0;
        for (int dx = -3; dx <= 3; ++dx) {
            insideCount += Yellowish(frame->At(at.x + dx, at.y + 10)) ? 1 : 0;
            outsideCount += Yellowish(frame->At(at.x + dx, at.y + 40)) ? 1 : 0;
        }
        inside[zoom] = static_cast<float>(insideCount);
        outside[zoom] = static_cast<float>(outsideCount);
    }
    EXPECT_GE(inside[0], 5);
    EXPECT_GE(inside[1], 5);
    EXPECT_EQ(outside[0], 0);
    EXPECT_EQ(outside[1], 0);
}

// A leader's arrowhead grows with its note's text: red pixels round the target of a 30-point
// note against a 10-point one, both at line weight 1 (the line-style cap alone is the same
// size for both).
TEST_F(NoteRender, ArrowheadsAreSizedToTheirNote)
{
    HBaseModel& model = *m_model;
    HMyBaseView& view = *m_view;
    HC_Open_Segment_By_Key(model.GetModelKey());
    HC_Set_Color("faces = grey");
    notetest::InsertBox({-10, -10, -0.1f}, {10, 10, 0});
    HC_Close_Segment();
    view.SetViewMode(HViewTop);
    const HPoint targets[2] = {{-5, -5, 0}, {5, -5, 0}};
    const char* sizes[2] = {"name = Arial, size = 10 pts", "name = Arial, size = 30 pts"};
    HKetraUtilityAnnotation notes[2];
    for (int i = 0; i < 2; ++i) {
        notes[i].Insert("Note", targets[i], targets[i] + HPoint(-3, 7, 0), model.GetModelKey(), &view,
                        -1, 0, true);
        notes[i].SetColor("text = black, lines = red, edges = red, faces = white");
        notes[i].SetTextFont(sizes[i]);
        notes[i].SetLineWeight(1);
        notes[i].Resize(view.GetViewKey(), view.GetIncludeLinkKey());
    }
    view.Update();
    ASSERT_EQ(view.FileOutput((std::string(KETRA_BINARY_DIR) + "/notes-arrowheads.png").c_str(),
                              nullptr, nullptr),
              OutputOK);
    const ketra::render::Image* frame = ketra::render::LastFrame(view.GetViewKey());
    ASSERT_NE(frame, nullptr);
    int red[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const Shot at = PixelOf(view, targets[i], kW, kH);
        // The leader rises from the target to the note.
        for (int y = at.y - 90; y <= at.y + 5; ++y)
            for (int x = at.x - 40; x <= at.x + 40; ++x) {
                const auto p = frame->At(x, y);
                red[i] += p.r > 200 && p.g < 80 && p.b < 80 ? 1 : 0;
            }
    }
    EXPECT_GT(red[0], 20);
    EXPECT_GT(red[1], red[0] * 3) << red[0] << " red pixels round the small note's target";
}
