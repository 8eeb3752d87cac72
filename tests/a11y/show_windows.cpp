// Shows every window of the program at once, filled with sample data, on the
// display in use and in the interface's language (ZELVANT_LANGUAGE), until it
// is ended: the screen reader test reads them through AT-SPI.
// The phone's history is shown twice, once on each tab.

#include <QApplication>
#include <QTabWidget>

#include "core/Translations.h"
#include "support/SampleWindows.h"

using namespace zelvant;
using namespace zelvant::test;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installTranslation(interfaceLanguage());
    std::vector<std::unique_ptr<Data>> data;
    std::vector<std::unique_ptr<QWidget>> windows;
    const auto open = [&](const Window &w) {
        data.push_back(std::make_unique<Data>());
        windows.push_back(w.open(*data.back()));
        windows.back()->show();
        return windows.back().get();
    };
    for (const Window &w : Windows) {
        QWidget *window = open(w);
        if (qobject_cast<PhoneHistoryWindow *>(window))
            open(w)->findChild<QTabWidget *>()->setCurrentIndex(1);
    }
    return app.exec();
}
