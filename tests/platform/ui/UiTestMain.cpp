// Qt tests need a display: without one the program runs itself again under `xvfb-run -a`
// (test listing works without a display, so CTest can discover the tests headless).
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    if (!listing && !std::getenv("DISPLAY") && !std::getenv("KETRA_UI_UNDER_XVFB")) {
        setenv("KETRA_UI_UNDER_XVFB", "1", 1);
        std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        std::perror("xvfb-run");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();
    // Fusion draws radio marks for exclusive action groups the same everywhere.
    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
