// Parses a balance page of 300 lines and about 30 KB over and over and
// prints how many pages per second the parser reads.
//   ParserBench [seconds]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <ctime>

#include "core/retrieval/BalancePageParser.h"

using namespace zelvant;

namespace {

// A page in the operator's style: a menu, a long table of services, the
// values near the end, every line ending in CR LF.
QString makePage()
{
    QString page = QStringLiteral(
        "<BODY bgcolor=\"#FFFFFF\" leftmargin=\"0\" topmargin=\"0\">\r\n"
        "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\r\n");
    int line = 2;
    for (int i = 0; line < 270; ++i, line += 3) {
        page += QStringLiteral("<tr class=\"row%1\"><td class=\"svc\"><a href=\"/cgi-bin/cgi.exe?"
                               "function=is_service&amp;id=%1\">Услуга номер %1</a></td>\r\n")
                    .arg(i);
        page += QStringLiteral("<td class=\"cost\" align=\"right\" nowrap>%1,%2&nbsp;у.е. в месяц, "
                               "подключена с 01.0%3.2026</td>\r\n")
                    .arg(i * 3)
                    .arg(i % 100, 2, 10, QLatin1Char('0'))
                    .arg(i % 9 + 1);
        page += QStringLiteral("<td class=\"note\"><img src=\"/lumo/i/dot.gif\" width=\"1\" "
                               "height=\"1\" alt=\"\" border=\"0\"></td></tr>\r\n");
    }
    const char *values[] = {
        "<tr><td class=\"lbl\">Пользователь:</td></tr>",
        "<tr><td class=\"val\"><b>Иванов Пётр Сергеевич</b></td></tr>",
        "<tr><td class=\"lbl\">Номер телефона:</td></tr>",
        "<tr><td class=\"val\">+7&nbsp;9161234567</td></tr>",
        "<tr><td class=\"lbl\">Внутренний курс на сегодня</td></tr>",
        "<tr><td class=\"val\">28,6500&nbsp;руб.</td></tr>",
        "<tr><td class=\"lbl\"><b>Актуальный баланс</b></td></tr>",
        "<tr><td class=\"val\"><b>123,45</b>&nbsp;у.е.</td></tr>",
        "<tr><td class=\"lbl\">Средняя скорость расходования</td></tr>",
        "<tr><td class=\"val\">2,35&nbsp;у.е.</td></tr>",
        "<tr><td class=\"lbl\">Предположительная дата отключения</td></tr>",
        "<tr><td class=\"val\">52&nbsp;дн.</td></tr>",
        "</table>",
        "<p>Рекомендуемая сумма предоплаты составляет 300,00 у.е.</p>",
        "<p>Остаток пакета SMS составляет 45 шт.</p>",
        "<p>Остаток разговоров типа составляет 01:15:00</p>",
        "<p>Баланс истекает менее чем через 14 дн.</p>",
    };
    for (const char *value : values) {
        page += QString::fromUtf8(value) + QStringLiteral("\r\n");
        ++line;
    }
    while (line < 299) {
        page += QStringLiteral("<p class=\"small\">&nbsp;</p>\r\n");
        ++line;
    }
    page += QStringLiteral("</BODY>");
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 3.0;
    const QString page = makePage();
    const qsizetype lines = page.count(QLatin1Char('\n')) + 1;

    PhoneResult record;
    parseBalancePage(page, record);
    if (record.balance != 123.45f || record.minutesLeft != 75 || record.smsLeft != 45) {
        std::fprintf(stderr, "ParserBench: the page did not parse as expected\n");
        return 1;
    }

    // Wall time suffers when the machine is shared; the CPU time of this
    // process is printed beside it.
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer timer;
    timer.start();
    qint64 pages = 0;
    while (timer.nsecsElapsed() < qint64(seconds * 1e9)) {
        for (int i = 0; i < 100; ++i) {
            parseBalancePage(page, record);
            ++pages;
        }
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("page: %lld lines, %lld characters (%lld bytes in Windows-1251)\n",
                static_cast<long long>(lines), static_cast<long long>(page.size()),
                static_cast<long long>(page.size()));
    std::printf("parsed %lld pages in %.2f s: %.0f pages/s, %.1f us per page\n",
                static_cast<long long>(pages), elapsed, double(pages) / elapsed,
                elapsed / double(pages) * 1e6);
    std::printf("CPU time %.2f s: %.0f pages per CPU second, %.1f us of CPU per page\n", cpu,
                double(pages) / cpu, cpu / double(pages) * 1e6);
    return 0;
}
