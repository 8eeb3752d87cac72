// The parts opened at first use: found beside the program (here one folder
// up, where the build puts them), and a clear reason when they are not.

#include <gtest/gtest.h>

#include "core/Parts.h"
#include "core/export/WorkbookBackend.h"
#include "core/mqtt/MqttLink.h"
#include "core/retrieval/HttpTransport.h"
#include "support/QStringPrinter.h"

using namespace zelvant;

TEST(Parts, ResolvesAnEntryPointOrSaysWhyNot)
{
    struct Case
    {
        const char *part;
        const char *symbol;
        bool found;
        const char *reasonHas; // in the error when not found
    };
    const Case cases[] = {
        {"xlsx", OpenWorkbookSymbol, true, ""},
        {"xlsx", "noSuchEntryPoint", false, "noSuchEntryPoint"},
        {"net", NewHttpTransportSymbol, true, ""},
        {"mqtt", NewMqttLinkSymbol, true, ""},
        {"nosuchpart", OpenWorkbookSymbol, false, "zelvant-nosuchpart.so"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.symbol);
        QString error;
        const QFunctionPointer entry = resolvePart(QString::fromLatin1(c.part), c.symbol, &error);
        EXPECT_EQ(entry != nullptr, c.found) << error.toStdString();
        if (!c.found) {
            EXPECT_TRUE(error.contains(QString::fromLatin1(c.reasonHas))) << error.toStdString();
        }
    }
}
