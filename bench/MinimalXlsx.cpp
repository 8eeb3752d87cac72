// The yardstick of the history export: libxlsxwriter alone writing the same
// cells (bold titles, text dates on the first row of a day, text times,
// numbers, empty zero cells) for ROWS rows, timed from the first cell to the
// closed file. Usage: MinimalXlsx [ROWS] [OUT.xlsx]

#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int main(int argc, char **argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const char *out = argc > 2 ? argv[2] : "/tmp/minimal-xlsx-bench.xlsx";
    const int repeats = 5;
    double best = 1e9;
    double all[16] = {};
    for (int repeat = 0; repeat < repeats; ++repeat) {
        const auto start = std::chrono::steady_clock::now();
        lxw_workbook *workbook = workbook_new(out);
        lxw_worksheet *sheet = workbook_add_worksheet(workbook, "Лист1");
        lxw_format *bold = workbook_add_format(workbook);
        format_set_bold(bold);
        const char *titles[] = {"Дата",      "Время", "Баланс", "Расход в день", "Отключение",
                                "Заплатить", "SMS",   "Минут",  "Курс USD"};
        for (int c = 0; c < 9; ++c)
            worksheet_write_string(sheet, 0, lxw_col_t(c), titles[c], bold);
        // The same rows as the benchmark's database: newest first, one every
        // five minutes back from 1 June 2024 12:00 (UTC clock arithmetic).
        const std::time_t newest = 1717243200;
        char previous[32] = "";
        for (long i = 0; i < rows; ++i) {
            const std::time_t t = newest - std::time_t(i) * 300;
            std::tm tm{};
            gmtime_r(&t, &tm);
            char date[32], time[32];
            std::snprintf(date, sizeof date, "%02d.%02d.%04d", tm.tm_mday, tm.tm_mon + 1,
                          tm.tm_year + 1900);
            std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
            const lxw_row_t row = lxw_row_t(i + 1);
            if (std::strcmp(date, previous) != 0)
                worksheet_write_string(sheet, row, 0, date, nullptr);
            std::strcpy(previous, date);
            worksheet_write_string(sheet, row, 1, time, nullptr);
            worksheet_write_number(sheet, row, 2, std::round((100.0 - i * 0.01) * 100) / 100,
                                   nullptr);
            worksheet_write_number(sheet, row, 3, 3.45, nullptr);
            if (i % 30 != 0)
                worksheet_write_number(sheet, row, 4, double(i % 30), nullptr);
            if (i % 7 != 0)
                worksheet_write_number(sheet, row, 5, 12.5, nullptr);
            if (i % 5 != 0)
                worksheet_write_number(sheet, row, 6, double(i % 100), nullptr);
            if (i % 3 != 0)
                worksheet_write_number(sheet, row, 7, double(i % 600), nullptr);
            worksheet_write_number(sheet, row, 8, 28.1234, nullptr);
        }
        for (int c = 0; c < 9; ++c)
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), 12, nullptr);
        if (workbook_close(workbook) != LXW_NO_ERROR) {
            std::fprintf(stderr, "write failed\n");
            return 1;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("minimal libxlsxwriter, %ld rows: %.0f ms\n", rows, ms);
        all[repeat] = ms;
        if (ms < best)
            best = ms;
    }
    std::sort(all, all + repeats);
    std::printf("minimal libxlsxwriter, median of %d: %.0f ms (best %.0f ms)\n", repeats,
                all[repeats / 2], best);
    return 0;
}
