// Shared main of the test programs: an application object (widgets for the
// window tests, GUI otherwise, for images and icons) on the offscreen platform.

#include <gtest/gtest.h>

#include "core/Translations.h"

#ifdef ZELVANT_TEST_WIDGETS
#include <QApplication>

#include "gui/MessageBoxes.h"
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    // Russian, as the program speaks on a Russian or an untranslated desktop.
    zelvant::installTranslation(QStringLiteral("ru"));
    ::testing::InitGoogleTest(&argc, argv);
#ifdef ZELVANT_TEST_WIDGETS
    // A message box that a test did not expect fails the test instead of
    // waiting for a click that never comes.
    zelvant::setMessageHandler([](QWidget *, zelvant::MessageKind, const QString &text) {
        ADD_FAILURE() << "unexpected message box: " << text.toStdString();
        return false;
    });
#endif
    const int status = RUN_ALL_TESTS();
    // Every test skipped (the program of a desktop service they need is
    // missing): CTest reports the program as skipped.
    const ::testing::UnitTest &run = *::testing::UnitTest::GetInstance();
    if (status == 0 && run.test_to_run_count() > 0
        && run.skipped_test_count() == run.test_to_run_count())
        return 77;
    return status;
}
