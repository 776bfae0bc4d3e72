// The Options dialog on screen (run under xvfb-run -a): it opens on the sample plant with
// every page, a colour change shows in the colour page's preview and, after OK, in the plot
// view; Cancel leaves the plot-properties file as it was. Each page is saved as a picture
// in <build>/pages-screenshots for a look.
#include "platform/ui/pages/OptionsDialog.h"
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/ui/pages/OptionPageWidgets.h"
#include "host/PipingModel.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "config/pages/CConfig.h"
#include "view/HMyBaseView.h"
#include "config/pages/HOptionsDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Wait(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Pixels whose red clearly dominates.
int Reddish(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 110 && c.green() < c.red() / 3 && c.blue() < c.red() / 3)
                ++count;
        }
    return count;
}

int Reddish(const ketra::render::Image& image) {
    return Reddish(QImage(image.rgba.data(), image.width, image.height, QImage::Format_RGBA8888));
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ketra-pages-ui-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        file = dir / "plot.xml";
        ::setenv("KETRA_REGISTRY", (dir / "registry.reg").c_str(), 1);
        ketra::plotter::PlotOptions options;
        options.configFile = file.string();
        options.configType = HOpConfig::ConfigInput;
        std::string error;
        ASSERT_TRUE(plotter.Start(options, &error)) << error;
        const auto model = ketra::host::LoadPipingModel(KETRA_SOURCE_DIR "/samples/plant.json");
        ASSERT_TRUE(model.ok) << model.error;
        plotter.Draw(model.model);
        plotter.View().SetWindowSizeInPixels(480, 360);
        plotter.View().ZoomToExtents();
        shots = fs::path(KETRA_BINARY_DIR) / "pages-screenshots";
        fs::create_directories(shots);
    }
    void TearDown() override {
        ketra::ui::SetColorChooser({});
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    ketra::render::Image RenderView() {
        ketra::render::Image image;
        std::string error;
        EXPECT_TRUE(
            ketra::render::RenderToImage(plotter.View().GetViewKey(), {480, 360, 1}, image, &error))
            << error;
        return image;
    }

    fs::path dir, file, shots;
    ketra::plotter::Plotter plotter;
};

} // namespace

TEST_F(OptionsDialogTest, OpensOnTheSamplePlantWithEveryPage) {
    ketra::ui::OptionsDialog dialog(plotter.Config(), {&plotter.View()});
    dialog.show();
    Wait(300);
    QTabWidget* tabs = dialog.Tabs();
    ASSERT_EQ(tabs->count(), 6);
    const char* const captions[] = {"Colors",       "Fonts",           "Markers",
                                    "Transparency", "Displaced Shape", "User Options"};
    for (int i = 0; i < tabs->count(); ++i) {
        EXPECT_EQ(tabs->tabText(i).toStdString(), captions[i]);
        tabs->setCurrentIndex(i);
        Wait(250);
        const QImage shot = dialog.grab().toImage();
        EXPECT_TRUE(shot.save(QString::fromStdString(
            (shots / (std::to_string(i + 1) + "-" + captions[i] + ".png")).string())));
        auto* page = dialog.Pages()[static_cast<size_t>(i)];
        if (page->Preview()) {
            const QImage& picture = page->Preview()->LastPicture();
            ASSERT_FALSE(picture.isNull()) << captions[i];
            // Something besides the background is drawn.
            const QColor corner = picture.pixelColor(1, 1);
            int different = 0;
            for (int y = 0; y < picture.height(); y += 3)
                for (int x = 0; x < picture.width(); x += 3)
                    if (picture.pixelColor(x, y) != corner)
                        ++different;
            EXPECT_GT(different, 20) << captions[i];
        }
    }
    auto* tree = dialog.findChild<QTreeWidget*>();
    ASSERT_NE(tree, nullptr);
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0).toStdString(), "Pipe Color");
    dialog.reject();
}

TEST_F(OptionsDialogTest, ColourChangeShowsInThePreviewAndAfterOkInTheView) {
    const int before = Reddish(RenderView());
    ketra::ui::SetColorChooser([](QWidget*, unsigned int& rgb) {
        rgb = 0x0000FF; // red
        return true;
    });
    ketra::ui::OptionsDialog dialog(plotter.Config(), {&plotter.View()});
    dialog.show();
    Wait(200);
    QPushButton* change = nullptr;
    for (auto* button : dialog.findChildren<QPushButton*>())
        if (button->text() == "&Change...")
            change = button;
    ASSERT_NE(change, nullptr);
    ASSERT_TRUE(change->isEnabled());
    change->click();
    Wait(300);
    const QImage preview = dialog.Pages()[0]->Preview()->LastPicture();
    EXPECT_GT(Reddish(preview), 100);
    preview.save(QString::fromStdString((shots / "colour-preview-red.png").string()));
    dialog.grab().save(QString::fromStdString((shots / "colour-page-after-change.png").string()));
    EXPECT_EQ(Reddish(RenderView()), before) << "the view changes only on OK";

    dialog.accept();
    const ketra::render::Image after = RenderView();
    EXPECT_GT(Reddish(after), before + 500);
    QImage(after.rgba.data(), after.width, after.height, QImage::Format_RGBA8888)
        .save(QString::fromStdString((shots / "view-after-ok.png").string()));
    const std::string text = ReadAll(file);
    EXPECT_NE(text.find("DiffuseColor=\"r=1.000000 g=0.000000 b=0.000000\""), std::string::npos);
}

TEST_F(OptionsDialogTest, CancelLeavesTheFileByteIdentical) {
    {
        ketra::ui::OptionsDialog first(plotter.Config(), {&plotter.View()});
        first.accept();
    }
    const std::string before = ReadAll(file);
    ketra::ui::SetColorChooser([](QWidget*, unsigned int& rgb) {
        rgb = 0x00FF00;
        return true;
    });
    ketra::ui::OptionsDialog dialog(plotter.Config(), {&plotter.View()});
    dialog.show();
    Wait(100);
    for (auto* button : dialog.findChildren<QPushButton*>())
        if (button->text() == "&Change...")
            button->click();
    dialog.Logic().Find<CConfig>()->SetCurrentColor(0x00FF00);
    dialog.reject();
    EXPECT_EQ(ReadAll(file), before);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
