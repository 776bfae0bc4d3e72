// The view window's output commands, headless through a recording port: which files Save As
// writes for each type, the messages of missing handlers and failed writes, the page and its
// scene files, the TIFF of a chosen size, printing and copying.
#include "view/ViewExFixture.h"

#include "annotation/HKetraUtilityAnnotation.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneGraph.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/sys/Registry.h"
#include "platform/window/RecordingPort.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewOutput.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using namespace ketra::view;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height of a little-endian TIFF (the first image's tags 256 and 257).
bool TiffSize(const std::string& bytes, unsigned& width, unsigned& height) {
    if (bytes.size() < 8 || bytes.compare(0, 4, "II*\0", 4) != 0)
        return false;
    auto u16 = [&](size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8)); };
    auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
    const size_t ifd = u32(4);
    if (ifd + 2 > bytes.size())
        return false;
    const unsigned count = u16(ifd);
    width = height = 0;
    for (unsigned i = 0; i < count && ifd + 2 + 12 * (i + 1) <= bytes.size(); ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        const unsigned tag = u16(entry), type = u16(entry + 2);
        const unsigned value = type == 3 ? u16(entry + 8) : u32(entry + 8);
        if (tag == 256)
            width = value;
        if (tag == 257)
            height = value;
    }
    return width && height;
}

// The JSON of the glTF binary embedded in a page.
nlohmann::json PageGltfJson(const std::string& page) {
    const std::string start = "id=\"ketra_scene\">";
    const size_t from = page.find(start) + start.size(), to = page.find('<', from);
    std::string bytes;
    unsigned bits = 0, value = 0;
    for (size_t i = from; i < to && page[i] != '='; ++i) {
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(alphabet, page[i]);
        if (!at || !*at)
            continue;
        value = (value << 6) | static_cast<unsigned>(at - alphabet);
        if ((bits += 6) >= 8)
            bytes += static_cast<char>((value >> (bits -= 8)) & 0xFF);
    }
    if (bytes.size() < 20)
        return {};
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + 12, 4);
    return nlohmann::json::parse(bytes.substr(20, length));
}

class ViewOutputTest : public viewtest::ViewExTest {
protected:
    void SetUp() override {
        ViewExTest::SetUp();
        dir = fs::temp_directory_path() / ("ketra-view-output-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        // The print settings are read from a store of the test's own.
        setenv("KETRA_REGISTRY", (dir / "registry.reg").c_str(), 1);
        // A red pipe-like box in the model.
        HC_Open_Segment_By_Key(model->GetModelKey());
        HC_Open_Segment("pipe");
        HC_Set_Color("faces = red, edges = black");
        const float pts[] = {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, 1, 1};
        const int faces[] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
        shell = HC_Insert_Shell(8, pts, 30, faces);
        HC_Close_Segment();
        HC_Close_Segment();
        view->FitWorld();
        window.SetHoopsViewEx(view.get(), false);
    }
    void TearDown() override {
        window.SetHoopsViewEx(nullptr, false);
        unsetenv("KETRA_REGISTRY");
        fs::remove_all(dir);
        ViewExTest::TearDown();
    }
    void Answer(const std::string& name, std::string width = "", std::string height = "") {
        port.fileDialogAnswer.ok = true;
        port.fileDialogAnswer.path = (dir / name).string();
        port.fileDialogAnswer.widthText = std::move(width);
        port.fileDialogAnswer.heightText = std::move(height);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename() != "registry.reg")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
    ketra::window::RecordingPort port;
    CHoopsViewEx window{&port};
    HC_KEY shell = -1;
};

} // namespace

TEST_F(ViewOutputTest, SaveAsHtmlInCapitalsWritesThePageThenBothSceneFiles) {
    Answer("model.HTML");
    FileSaveAs(window, "/projects/plant/plant.json");
    EXPECT_EQ(port.lastFileDialog.filter, kSaveAsFilter);
    EXPECT_EQ(port.lastFileDialog.defaultExtension, "DWF");
    // The model's name, with the extension of the type the dialog shows first.
    EXPECT_EQ(port.lastFileDialog.initialName, "plant.html");
    EXPECT_FALSE(port.lastFileDialog.sizeFields);
    EXPECT_TRUE(port.messages.empty()) << port.messages.front();
    EXPECT_EQ(Files(), (std::vector<std::string>{"model.hmf", "model.hsf", "model.html"}));
    EXPECT_EQ(port.statusText[0], "Saved model.html, model.hmf and model.hsf in " + dir.string());

    const std::string page = Slurp(dir / "model.html");
    EXPECT_EQ(page.find("<!-- $$"), std::string::npos) << "a placeholder was left";
    EXPECT_NE(page.find("<title>model</title>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"model.hsf\">Reload model.hsf</a>"), std::string::npos);
    EXPECT_NE(page.find("width: 300px; height: 300px;"), std::string::npos);
    for (const char* button : {">XY<", ">XZ<", ">YZ<", ">ZX<", ">ZY<", ">YX<", ">ISO<", ">FIT<"})
        EXPECT_NE(page.find(button), std::string::npos) << button;
    EXPECT_NE(page.find("window.THREE = THREE"), std::string::npos) << "three.js is not inlined";
    EXPECT_NE(page.find("id=\"ketra_scene\">Z2xURg"), std::string::npos) << "no glTF binary embedded";  // "glTF"

    // Both scene files hold the model, and read back the same.
    std::string error;
    ASSERT_TRUE(ketra::io::ReadSceneFile((dir / "model.hsf").string(), "/check/hsf", &error)) << error;
    ASSERT_TRUE(ketra::io::ReadSceneFile((dir / "model.hmf").string(), "/check/hmf", &error)) << error;
    auto& graph = ketra::hc::Graph::Instance();
    EXPECT_EQ(ketra::hc::MetafileText(*graph.Resolve("/check/hsf", false)),
              ketra::hc::MetafileText(*graph.Resolve("/check/hmf", false)));
    EXPECT_NE(ketra::hc::MetafileText(*graph.Resolve("/check/hsf", false)).find("segment \"pipe\""), std::string::npos);
    HC_Delete_Segment("/check");

    // Save as HTML asks nothing: the files go beside the model, and the status bar says so.
    fs::create_directories(dir / "beside");
    port.statusText.clear();
    OnFileSaveAsHTML(window, (dir / "beside" / "plant.json").string());
    EXPECT_TRUE(fs::exists(dir / "beside" / "plant.hsf"));
    EXPECT_EQ(port.statusText[0],
              "Saved plant.html, plant.hmf and plant.hsf in " + (dir / "beside").string());
}

TEST_F(ViewOutputTest, MissingHandlersNameTheExtensionAndWriteNothing) {
    view->GetSelection()->Select(shell, nullptr, 0, 0);
    ASSERT_EQ(view->GetSelection()->GetSize(), 1u);
    for (const char* name : {"drawing.xyz", "model.DWF", "model.pdf"}) {
        port.messages.clear();
        Answer(name);
        FileSaveAs(window, "");
        const std::string ext = fs::path(name).extension().string().substr(1);
        std::string lower = ext;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ASSERT_EQ(port.messages.size(), 1u) << name;
        EXPECT_EQ(port.messages[0], "Handler for file type ." + lower + " unavailable.\nNo file has been created.");
    }
    // The DWF save cleared the selection before it looked for its handler.
    EXPECT_EQ(view->GetSelection()->GetSize(), 0u);
    EXPECT_TRUE(Files().empty());
}

// A page saved with a note: its text, anchor and frame reach the page's labels, its leader
// the meshes; the frame, which faces the screen, is not written as a white mesh.
// With KETRA_NOTE_PAGE set the page is kept there (the Chromium check opens it).
TEST_F(ViewOutputTest, APageCarriesTheNotesOfTheView) {
    // An arm on the box, so that each plane view of the page differs.
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Open_Segment("pipe");
    const float arm[] = {1, -1, -1, 3, -1, -1, 3, 0, -1, 1, 0, -1, 1, -1, 0, 3, -1, 0, 3, 0, 0, 1, 0, 0};
    const int faces[] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
    HC_Insert_Shell(8, arm, 30, faces);
    HC_Close_Segment();
    HC_Close_Segment();
    view->FitWorld();
    const HC_KEY layer = view->GetMarkupManager()->OpenLayer("review");
    HKetraUtilityAnnotation note;
    note.Insert("Check the shoe", HPoint(1, -1, 1), HPoint(2, 0, 2), layer, view.get(), -1, 1, true);
    view->Update();
    Answer("noted.html");
    FileSaveAs(window, "plant.json");
    ASSERT_TRUE(port.messages.empty()) << port.messages.front();
    const std::string page = Slurp(dir / "noted.html");
    if (const char* keep = std::getenv("KETRA_NOTE_PAGE"))
        fs::copy_file(dir / "noted.html", keep, fs::copy_options::overwrite_existing);
    const nlohmann::json gltf = PageGltfJson(page);
    ASSERT_TRUE(gltf.contains("scenes"));
    const nlohmann::json& labels = gltf["scenes"][0]["extras"]["ketra"]["labels"];
    ASSERT_EQ(labels.size(), 1u) << labels.dump();
    EXPECT_EQ(labels[0]["text"], "Check the shoe");
    EXPECT_EQ(labels[0]["box"]["fill"], nlohmann::json({1.0, 1.0, 1.0}));
    EXPECT_EQ(labels[0]["box"]["edge"], nlohmann::json({1.0, 0.0, 0.0}));
    const double anchor[3] = {2, 0, 2};
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(labels[0]["position"][k].get<double>(), anchor[k], 1e-4);
    bool leader = false;
    for (const auto& mesh : gltf["meshes"])
        for (const auto& primitive : mesh["primitives"]) {
            const auto& material = gltf["materials"][primitive["material"].get<size_t>()];
            const auto colour = material["pbrMetallicRoughness"].value("baseColorFactor", nlohmann::json({1, 1, 1, 1}));
            EXPECT_FALSE(primitive["mode"] == 4 && colour[1] == 1.0) << "the note's frame became a mesh";
            leader = leader || (primitive["mode"] == 1 && colour == nlohmann::json({1.0, 0.0, 0.0, 1.0}));
        }
    EXPECT_TRUE(leader) << "no red leader line";
}

TEST_F(ViewOutputTest, CancelAndEmptyNamesDoNothingAndTheFrameRateObjectIsRestored) {
    HConstantFrameRate* frameRate = view->GetConstantFrameRateObject();
    ASSERT_NE(frameRate, nullptr);
    frameRate->Start();
    port.fileDialogAnswer = {};
    FileSaveAs(window, "");
    Answer("");
    port.fileDialogAnswer.path = "";
    FileSaveAs(window, "");
    EXPECT_TRUE(port.messages.empty());
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(frameRate->GetActive());
    // A failure restarts it too.
    Answer("missing folder/x.tif");
    FileSaveAs(window, "");
    EXPECT_TRUE(frameRate->GetActive());
    // One that was stopped stays stopped.
    frameRate->Stop();
    Answer("picture.bmp");
    FileSaveAs(window, "");
    EXPECT_FALSE(frameRate->GetActive());
}

TEST_F(ViewOutputTest, EveryWriteResultHasItsMessage) {
    Answer("missing folder/x.tif");
    FileSaveAs(window, "");
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0], "A problem occurred with the file name provided.\nperhaps you don't have read "
                                "permission or it is missing.\n");
    // A folder in the file's place: the write itself fails.
    fs::create_directories(dir / "taken.hsf" / "inside");
    Answer("taken.hsf");
    FileSaveAs(window, "");
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[1], "A problem occurred during this file operation.\n");
    EXPECT_STREQ(WriteResultMessage(OutputNotHandled), "This program doesn't have a handler for this file operation.\n");
    EXPECT_STREQ(WriteResultMessage(OutputOK), "");
}

TEST_F(ViewOutputTest, PicturesAreWrittenAtTheScreensResolution) {
    Answer("picture.tif");
    FileSaveAs(window, "");
    EXPECT_TRUE(port.messages.empty()) << port.messages.front();
    unsigned width = 0, height = 0;
    ASSERT_TRUE(TiffSize(Slurp(dir / "picture.tif"), width, height));
    int w = 0, h = 0;
    view->GetWindowSizeInPixels(w, h);
    EXPECT_NEAR(static_cast<int>(width), w, 1);
    EXPECT_NEAR(static_cast<int>(height), h, 1);
    EXPECT_EQ(port.statusText[0], "Saved " + (dir / "picture.tif").string());
}

TEST_F(ViewOutputTest, TiffOfAChosenSize) {
    char project[] = "/projects/plant/plant.json";
    view->SetCurrentProject(nullptr, project);
    Answer("chosen.tif", "", "");
    SaveBitmap(window);
    EXPECT_EQ(port.lastFileDialog.title, "Save Image as .TIF");
    EXPECT_EQ(port.lastFileDialog.filter, "TIFF files (*.tif)|*.tif||");
    EXPECT_EQ(port.lastFileDialog.initialName, "/projects/plant/plant.tif");
    EXPECT_TRUE(port.lastFileDialog.sizeFields);
    EXPECT_EQ(port.lastFileDialog.widthText, "1200");
    EXPECT_EQ(port.lastFileDialog.heightText, "1024");
    EXPECT_TRUE(port.messages.empty()) << port.messages.front();
    unsigned width = 0, height = 0;
    ASSERT_TRUE(TiffSize(Slurp(dir / "chosen.tif"), width, height));
    EXPECT_EQ(width, 1200u);
    EXPECT_EQ(height, 1024u);

    Answer("small.tif", "320", "0");
    SaveBitmap(window);
    ASSERT_TRUE(TiffSize(Slurp(dir / "small.tif"), width, height));
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 1024u);

    port.fileDialogAnswer = {};
    SaveBitmap(window);
    EXPECT_EQ(Files(), (std::vector<std::string>{"chosen.tif", "small.tif"}));
}

TEST_F(ViewOutputTest, PrintingHonoursTheGrayscaleSettingAndCopyUsesTheClipboard) {
    using namespace ketra::sys;
    ketra::window::PrintRequest request;
    ASSERT_TRUE(PreparePrinting(window, request));
    EXPECT_FALSE(request.grayscale);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, CAppSettings::SettingsKeyPath().c_str(), 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetDword(key, L"Print Force Grayscale", 1);
    ASSERT_TRUE(PreparePrinting(window, request));
    EXPECT_TRUE(request.grayscale);
    EXPECT_TRUE(PrintView(window, request));
    EXPECT_EQ(port.prints, 1);
    EXPECT_TRUE(port.lastPrint.grayscale);
    RegDeleteValue(key, L"Print Force Grayscale");
    RegCloseKey(key);

    EXPECT_TRUE(CopyToClipboard(window));
    window.SetClipboardTrueColor(false);
    EXPECT_TRUE(CopyToClipboard(window));
    EXPECT_EQ(port.clipboardImages, 2);
}
