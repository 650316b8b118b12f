// Entry of the window tests: one QApplication for the whole run, headless unless the
// environment chose a platform.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <ui/BrowserView.h>
#include <ui/Fonts.h>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // As the program does: engine flags (no gateway: tests load nothing from the network) and the
    // font aliases, before the application object.
    kestrova::ui::prepareWebEngineEnvironment("");
    kestrova::ui::prepareFontConfig();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    kestrova::ui::installFontFallbacks();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
