// The phone list with its password scramble: load -> save -> load gives the
// same phones (those with a number, in order), and a password comes back
// from its scramble. Input: the bytes of "phones.xml".

#include <QFile>

#include <vector>

#include "FuzzCheck.h"
#include "core/config/PasswordScramble.h"
#include "core/config/PhoneList.h"

using namespace zelvant;
using namespace zelvant::fuzz;

namespace {

// The slots a save writes: those with a number.
std::vector<PhoneSlot> written(const PhoneList &phones)
{
    std::vector<PhoneSlot> withNumber;
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        if (!phones.slot(i).number.trimmed().isEmpty())
            withNumber.push_back(phones.slot(i));
    }
    return withNumber;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = scratchFolder() + QStringLiteral("/phones.xml");
    const QString log = scratchFolder() + QStringLiteral("/Zelvant.err");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytesOf(data, size)) == qint64(size));
    }
    PhoneList first;
    bool unreadable = false;
    int leftOut = 0;
    loadPhones(first, path, &unreadable, &leftOut);
    FUZZ_CHECK(leftOut >= 0);
    FUZZ_CHECK(!unreadable || (leftOut == 0 && written(first).empty()));
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        const QString password = first.slot(i).password;
        FUZZ_CHECK(password.size() <= 15);
        FUZZ_CHECK(decodePassword(encodePassword(password)) == password);
    }

    QString error;
    QString notice;
    if (!savePhones(first, path, log, &error, &notice)) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(notice.isEmpty() == (leftOut == 0));
    PhoneList second;
    loadPhones(second, path, &unreadable, &leftOut);
    FUZZ_CHECK(!unreadable);
    FUZZ_CHECK(leftOut == 0);
    const std::vector<PhoneSlot> before = written(first);
    const std::vector<PhoneSlot> after = written(second);
    FUZZ_CHECK(before.size() == after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        if (!(before[i] == after[i])) {
            std::fprintf(stderr, "phone %zu: [%s|%s|%s|%s] came back as [%s|%s|%s|%s]\n", i,
                         qPrintable(before[i].number), qPrintable(before[i].password),
                         qPrintable(before[i].alias), qPrintable(before[i].region),
                         qPrintable(after[i].number), qPrintable(after[i].password),
                         qPrintable(after[i].alias), qPrintable(after[i].region));
        }
        FUZZ_CHECK(before[i] == after[i]);
    }
    return 0;
}
