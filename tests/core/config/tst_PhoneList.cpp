// The phone slots, "phones.xml" and the password scramble.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "core/TextCodec.h"
#include "core/config/PasswordScramble.h"
#include "core/config/PhoneList.h"
#include "support/TempFolder.h"

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>
#endif

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>";

PhoneSlot makeSlot(const QString &number, const QString &password, const QString &alias,
                   bool monitor, bool tray, const QString &region)
{
    PhoneSlot s;
    s.number = number;
    s.password = password;
    s.alias = alias;
    s.monitored = monitor;
    s.trayShown = tray;
    s.region = region;
    return s;
}

bool allEmpty(const PhoneList &phones)
{
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        if (!(phones.slot(i) == PhoneSlot()))
            return false;
    }
    return true;
}

PhoneList loaded(const QString &path, bool *unreadable = nullptr)
{
    PhoneList phones;
    phones.slot(7).number = QStringLiteral("stale"); // must not survive a load
    loadPhones(phones, path, unreadable);
    return phones;
}

// Replaces every Password attribute by a fixed text, for byte comparisons.
QByteArray withoutScrambles(QByteArray bytes)
{
    static const QRegularExpression scramble(QStringLiteral("Password=\"[0-9A-F]{54}\""));
    return QString::fromLatin1(bytes)
        .replace(scramble, QStringLiteral("Password=\"*\""))
        .toLatin1();
}

} // namespace

TEST(Scramble, EncodesToFiftyFourUpperHexDigitsAndDecodesBack)
{
    const QStringList passwords = {QString(),
                                   QStringLiteral("1"),
                                   QStringLiteral("12345"),
                                   QStringLiteral("+7-903"),
                                   QStringLiteral("123456789012345"),
                                   QStringLiteral("Пароль€ё"),
                                   QString(QChar(0xFFFD))};
    static const QRegularExpression form(QStringLiteral("^[0-9A-F]{54}$"));
    for (const QString &p : passwords) {
        for (int round = 0; round < 50; ++round) {
            const QString s = encodePassword(p);
            ASSERT_TRUE(form.match(s).hasMatch()) << s.toStdString();
            EXPECT_EQ(s.mid(3, 1).toInt(nullptr, 16), p.size());
            EXPECT_EQ(decodePassword(s), p) << s.toStdString();
            EXPECT_EQ(decodePassword(s.toLower()), p);
            // A and B are never 255.
            EXPECT_NE(s.left(2), QStringLiteral("FF"));
            EXPECT_NE(s.mid(4 + 2 * p.size(), 2), QStringLiteral("FF"));
        }
    }
    // Longer passwords keep their first 15 characters.
    const QString s = encodePassword(QStringLiteral("12345678901234567890"));
    EXPECT_EQ(s.size(), 54);
    EXPECT_EQ(decodePassword(s), QStringLiteral("123456789012345"));
    // Two encodings of the same password differ (random keys and filler).
    EXPECT_NE(encodePassword(QStringLiteral("12345")), encodePassword(QStringLiteral("12345")));
}

TEST(Scramble, SecretsOfAnyLengthAndAlphabetComeBackAndMalformedOnesAreEmpty)
{
    const QString long40 = QStringLiteral("x").repeated(40);
    for (const QString &secret :
         {QStringLiteral("a"), QStringLiteral("пароль брокера ☂"), long40}) {
        const QString s = scrambleSecret(secret);
        EXPECT_FALSE(s.contains(secret));
        EXPECT_EQ(unscrambleSecret(s), secret) << s.toStdString();
        EXPECT_EQ(unscrambleSecret(s.toLower()), secret);
    }
    EXPECT_EQ(scrambleSecret(QString()), QString());
    for (const char *bad : {"", "A", "ABC", "ABCDE", "12zz", "secret"})
        EXPECT_EQ(unscrambleSecret(QString::fromLatin1(bad)), QString()) << bad;
}

TEST(Scramble, DecodesTheLayoutByHandAndRejectsMalformedText)
{
    // A=0x10, ignored digit, L=2, '1'^B, '2'^A, B=0x20, then anything.
    const QString handMade = QStringLiteral("10") + QStringLiteral("7") + QStringLiteral("2")
                             + QStringLiteral("%1").arg('1' ^ 0x20, 2, 16, QLatin1Char('0'))
                             + QStringLiteral("%1").arg('2' ^ 0x10, 2, 16, QLatin1Char('0'))
                             + QStringLiteral("20")
                             + QStringLiteral("zz not even hex, ignored after the key byte ");
    ASSERT_EQ(handMade.size(), 54);
    EXPECT_EQ(decodePassword(handMade), QStringLiteral("12"));

    // Shorter than a scramble: malformed, even where the layout would fit.
    EXPECT_EQ(decodePassword(handMade.left(53)), QString());

    EXPECT_EQ(decodePassword(QString()), QString());
    // Passwords typed into the file in plain text.
    EXPECT_EQ(decodePassword(QStringLiteral("12345")), QString());
    EXPECT_EQ(decodePassword(QStringLiteral("9031234567")), QString());
    EXPECT_EQ(decodePassword(QStringLiteral("qwerty")), QString());
    // A character that is not a hexadecimal digit inside the pieces read.
    QString bad = handMade;
    bad[6] = QLatin1Char('x');
    EXPECT_EQ(decodePassword(bad), QString());
    bad = handMade;
    bad[3] = QLatin1Char('-');
    EXPECT_EQ(decodePassword(bad), QString());
    EXPECT_EQ(decodePassword(QStringLiteral("100312")), QString());
}

TEST(PhoneSlots, TrayShowIsExclusiveAndCountsFollowTheSlots)
{
    PhoneList phones;
    EXPECT_EQ(phones.slot(1).region, QStringLiteral("МСК"));
    phones.slot(3).monitored = true;
    phones.slot(100).monitored = true;
    EXPECT_EQ(phones.monitoredCount(), 2);
    phones.setTrayShown(3);
    phones.setTrayShown(100);
    EXPECT_EQ(phones.trayShownSlot(), 100);
    EXPECT_FALSE(phones.isTrayShown(3));
    phones.setTrayShown(0);
    EXPECT_EQ(phones.trayShownSlot(), 0);
    phones.slot(3) = makeSlot(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), true,
                              true, QStringLiteral("СПб"));
    phones.clearSlot(3);
    EXPECT_EQ(phones.slot(3), PhoneSlot());
    EXPECT_EQ(phones.monitoredCount(), 1);
}

TEST(PhonesFileLoad, ReadsHandWrittenFilesWithAnyLayoutCaseAndNumbers)
{
    TempFolder dir;
    const QString enc = encodePassword(QStringLiteral("555"));
    const QByteArray file =
        Declaration + "\n<Phones>\n  <!-- my phones -->\n"
        + "  <Phone Number=\" 8 903 \" Password=\"" + enc.toLatin1() + "\" Alias=\""
        + toWindows1251(QStringLiteral("Мама &amp; папа")) + "\" Monitor=\"TRUE\""
        + " TrayShow=\"1\" Region=\"" + toWindows1251(QStringLiteral("СПб")) + "\"/>\n"
        + "\t<Phone Number=\"2\" Password=\"12345\" Alias=\"&#24335;&#x4E00;\" Monitor=\"true\""
          " TrayShow=\"-1\"></Phone>\r\n"
        + "<Item Region=\"x\" Number=\"3\" Monitor=\"0\" TrayShow=\"False\"><Phone "
          "Number=\"nested\"/></Item>"
        + "<Phone number=\"lower-case name\" Monitor=\"maybe\" TrayShow=\" 2.5 \"/>"
        + "<Phone Number=\"5\" Monitor=\"0x1\" TrayShow=\"0\"/>"
        + "<Phone Number=\"6\" Monitor=\"0.0\" TrayShow=\"FaLsE\"/>" + "</Phones>\n";
    dir.write(QStringLiteral("phones.xml"), file);
    bool unreadable = true;
    const PhoneList phones = loaded(dir.file(QStringLiteral("phones.xml")), &unreadable);
    EXPECT_FALSE(unreadable);

    EXPECT_EQ(phones.slot(1),
              makeSlot(QStringLiteral(" 8 903 "), QStringLiteral("555"),
                       QStringLiteral("Мама & папа"), true, false, QStringLiteral("СПб")));
    // A plain-text password reads as empty; a missing Region as empty.
    EXPECT_EQ(phones.slot(2), makeSlot(QStringLiteral("2"), QString(), QStringLiteral("式一"), true,
                                       false, QString()));
    // Elements other than "Phone" take no slot, nor do nested ones.
    // Attribute names are matched exactly; odd flags read as false, numbers as numbers.
    EXPECT_EQ(phones.slot(3).number, QString());
    EXPECT_FALSE(phones.slot(3).monitored);
    // Several TrayShow: the last one keeps it.
    EXPECT_EQ(phones.trayShownSlot(), 3);
    EXPECT_TRUE(phones.slot(4).monitored);
    EXPECT_FALSE(phones.slot(5).monitored);
    for (int i = 6; i <= PhoneSlotCount; ++i)
        EXPECT_EQ(phones.slot(i), PhoneSlot()) << i;
}

TEST(PhonesFileLoad, BrokenMissingOrEmptyFilesGiveAnEmptyListSilently)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("phones.xml"));
    bool unreadable = true;
    EXPECT_TRUE(allEmpty(loaded(path, &unreadable)));
    EXPECT_FALSE(unreadable);
    EXPECT_FALSE(QFile::exists(path));

    dir.write(QStringLiteral("phones.xml"), Declaration + "<Phones/>");
    EXPECT_TRUE(allEmpty(loaded(path, &unreadable)));
    EXPECT_FALSE(unreadable);

    dir.write(QStringLiteral("phones.xml"), "");
    EXPECT_TRUE(allEmpty(loaded(path, &unreadable)));
    EXPECT_FALSE(unreadable);

    const QByteArray broken[] = {
        "this is not XML",
        Declaration + "<Phones><Phone Number=\"1\" Monitor=\"True\"/><Phone Num",
        Declaration + "<Phones><Phone Number=\"1\"/>",              // root never closed
        Declaration + "<Phones><Phone Number=\"1\"/></Phones><x/>", // two roots
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><Phones><Phone Number=\"\xFF\"/></Phones>", // bad UTF-8
    };
    for (const QByteArray &bytes : broken) {
        dir.write(QStringLiteral("phones.xml"), bytes);
        EXPECT_TRUE(allEmpty(loaded(path, &unreadable))) << bytes.constData();
        EXPECT_TRUE(unreadable) << bytes.constData();
    }

    QFile::remove(path);
    QDir(dir.path()).mkdir(QStringLiteral("phones.xml"));
    EXPECT_TRUE(allEmpty(loaded(path, &unreadable)));
    EXPECT_TRUE(unreadable);
}

TEST(PhonesFileLoad, OnlyTheFirstHundredPhonesAreReadAndOtherEncodingsWork)
{
    TempFolder dir;
    QByteArray file = "<?xml version='1.0' encoding='UTF-8'?><Phones>";
    for (int i = 1; i <= 101; ++i)
        file += "<Phone Number=\"" + QByteArray::number(i) + "\" Alias=\"Ёж\"/>\n";
    file += "</Phones>";
    dir.write(QStringLiteral("phones.xml"), file);
    const PhoneList phones = loaded(dir.file(QStringLiteral("phones.xml")));
    EXPECT_EQ(phones.slot(1).number, QStringLiteral("1"));
    EXPECT_EQ(phones.slot(100).number, QStringLiteral("100"));
    EXPECT_EQ(phones.slot(100).alias, QStringLiteral("Ёж"));

    // The 101st is dropped by the next save.
    ASSERT_TRUE(savePhones(phones, dir.file(QStringLiteral("phones.xml")),
                           dir.file(QStringLiteral("Zelvant.err"))));
    EXPECT_FALSE(dir.read(QStringLiteral("phones.xml")).contains("Number=\"101\""));
    EXPECT_EQ(dir.read(QStringLiteral("phones.xml")).count("<Phone "), 100);
}

TEST(PhonesFileSave, WritesTheExactDocumentAndRoundTripsEveryValue)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("phones.xml"));
    const QString log = dir.file(QStringLiteral("Zelvant.err"));
    PhoneList phones;
    ASSERT_TRUE(savePhones(phones, path, log));
    EXPECT_EQ(dir.read(QStringLiteral("phones.xml")), Declaration + "\r\n<Phones/>\r\n");

    phones.slot(1) =
        makeSlot(QStringLiteral(" +7 903 "), QStringLiteral("12345"),
                 QStringLiteral("<Дом> & \"дача\" 'x'"), true, false, QStringLiteral("МСК"));
    phones.slot(3) =
        makeSlot(QStringLiteral("8-800"), QString(), QStringLiteral("Ёлка\tи\nвсё 漢 😀"), false,
                 true, QStringLiteral("СПб"));
    phones.slot(5) = makeSlot(QStringLiteral("  "), QStringLiteral("1"),
                              QStringLiteral("no number"), true, false, QStringLiteral("МСК"));
    ASSERT_TRUE(savePhones(phones, path, log));
    const QByteArray bytes = dir.read(QStringLiteral("phones.xml"));
    const QByteArray expected =
        Declaration + "\r\n<Phones>" + "<Phone Number=\" +7 903 \" Password=\"*\" Alias=\""
        + toWindows1251(QStringLiteral("&lt;Дом&gt; &amp; &quot;дача&quot; 'x'"))
        + "\" Monitor=\"True\" TrayShow=\"False\" Region=\"" + toWindows1251(QStringLiteral("МСК"))
        + "\"/>" + "<Phone Number=\"8-800\" Password=\"*\" Alias=\""
        + toWindows1251(QStringLiteral("Ёлка&#9;и&#10;всё &#28450; &#128512;"))
        + "\" Monitor=\"False\" TrayShow=\"True\" Region=\"" + toWindows1251(QStringLiteral("СПб"))
        + "\"/></Phones>\r\n";
    EXPECT_EQ(withoutScrambles(bytes), expected);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bak")));

    // Load -> save -> load keeps every value; the empty slot closes up.
    const PhoneList back = loaded(path);
    EXPECT_EQ(back.slot(1), phones.slot(1));
    EXPECT_EQ(back.slot(2), phones.slot(3));
    EXPECT_EQ(back.slot(3), PhoneSlot());
    ASSERT_TRUE(savePhones(back, path, log));
    EXPECT_EQ(loaded(path), back);
    // Passwords are scrambled afresh each time.
    EXPECT_NE(dir.read(QStringLiteral("phones.xml")), bytes);
    EXPECT_EQ(withoutScrambles(dir.read(QStringLiteral("phones.xml"))), expected);

    // A keyring phone: the marker in place of a password of any length; a
    // new file is its owner's only.
    phones.slot(1).password = QString(40, QLatin1Char('k'));
    phones.slot(1).passwordInKeyring = true;
    QFile::remove(path);
    ASSERT_TRUE(savePhones(phones, path, log));
    EXPECT_TRUE(dir.read(QStringLiteral("phones.xml"))
                    .contains("Number=\" +7 903 \" Password=\"\" PasswordIn=\"keyring\" Alias="));
    phones.slot(1).password.clear();
    EXPECT_EQ(loaded(path).slot(1), phones.slot(1));
    EXPECT_FALSE(QFile::permissions(path)
                 & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
}

TEST(PhonesFileSave, AnUnreadableFileIsKeptAsBakAndFailuresLeaveTheOldFile)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("phones.xml"));
    const QString log = dir.file(QStringLiteral("Zelvant.err"));
    const QByteArray cut = Declaration + "<Phones><Phone Number=\"1\" Pass";
    dir.write(QStringLiteral("phones.xml"), cut);
    PhoneList phones;
    bool unreadable = false;
    loadPhones(phones, path, &unreadable);
    ASSERT_TRUE(unreadable);
    phones.slot(1).number = QStringLiteral("42");
    ASSERT_TRUE(savePhones(phones, path, log));
    EXPECT_EQ(dir.read(QStringLiteral("phones.xml.bak")), cut);
    EXPECT_TRUE(fromWindows1251(dir.read(QStringLiteral("Zelvant.err")))
                    .contains(QStringLiteral("phones.xml.bak")));
    EXPECT_EQ(loaded(path).numberOf(1), QStringLiteral("42"));
    // A readable file is not backed up again.
    ASSERT_TRUE(QFile::remove(path + QStringLiteral(".bak")));
    ASSERT_TRUE(savePhones(phones, path, log));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bak")));

    // A password the scramble cannot carry is refused; the file stays.
    const QByteArray before = dir.read(QStringLiteral("phones.xml"));
    phones.slot(2) = makeSlot(QStringLiteral("7"), QStringLiteral("pass✓"), QString(), true, false,
                              QStringLiteral("МСК"));
    QString error;
    EXPECT_FALSE(savePhones(phones, path, log, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("2")));
    // So is one longer than the file keeps: cut, it would not be the one in use.
    phones.slot(2).password = QStringLiteral("1234567890123456");
    EXPECT_FALSE(savePhones(phones, path, log, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("не более 15"))) << error.toStdString();
    // Control characters XML cannot carry are refused as well.
    phones.slot(2).password = QStringLiteral("1");
    phones.slot(2).alias = QString(QChar(0x01));
    error.clear();
    EXPECT_FALSE(savePhones(phones, path, log, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("phones.xml")), before);
    phones.slot(2).alias.clear();

    // The folder does not exist: the error names the file, nothing is written.
    error.clear();
    EXPECT_FALSE(savePhones(phones, dir.file(QStringLiteral("no/phones.xml")), log, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("phones.xml")));
    // A folder in place of the file.
    const QString folder = dir.file(QStringLiteral("sub"));
    QDir(dir.path()).mkpath(QStringLiteral("sub/phones.xml"));
    error.clear();
    EXPECT_FALSE(savePhones(phones, folder + QStringLiteral("/phones.xml"), log, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/phones.xml")).isDir());
}

#ifdef Q_OS_UNIX
// The disk fills up during the save (simulated with a file size limit that
// holds even for root): the old list stays whole and the caller is told.
TEST(PhonesFileSave, ASaveCutShortLeavesTheOldListWhole)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("phones.xml"));
    PhoneList phones;
    phones.slot(1).number = QStringLiteral("1");
    ASSERT_TRUE(savePhones(phones, path, dir.file(QStringLiteral("Zelvant.err"))));
    const QByteArray before = dir.read(QStringLiteral("phones.xml"));
    for (int i = 1; i <= PhoneSlotCount; ++i)
        phones.slot(i).number = QStringLiteral("+7 903 000 00 %1").arg(i);

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit low = saved;
    low.rlim_cur = qMax<rlim_t>(before.size() + 16, 512);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    QString error;
    const bool ok = savePhones(phones, path, dir.file(QStringLiteral("Zelvant.err")), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_TRUE(error.contains(QStringLiteral("phones.xml")));
    EXPECT_EQ(dir.read(QStringLiteral("phones.xml")), before);
    EXPECT_EQ(loaded(path).numberOf(1), QStringLiteral("1"));
}
#endif

// More phones than slots: the rest is counted on load and kept in a backup
// before a save drops it. Elements that are not phones take no slot. A
// byte order mark makes the file UTF-8, whatever the declaration says.
TEST(PhonesFileLimits, PhonesBeyondTheSlotsAreCountedAndKeptAndOtherElementsTakeNoSlot)
{
    const struct
    {
        int phones;
        bool byteOrderMark;
    } cases[] = {{103, false}, {103, true}, {100, false}, {PhoneSlotCount + 1, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.phones);
        SCOPED_TRACE(c.byteOrderMark);
        TempFolder dir;
        const QString path = dir.file(QStringLiteral("phones.xml"));
        QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?><Phones>"
                                      "<Settings Number=\"not a phone\"/>");
        for (int i = 1; i <= c.phones; ++i)
            text += QStringLiteral("<Phone Number=\"%1\" Alias=\"Ёж %1\"/><Note/>").arg(i);
        text += QStringLiteral("</Phones>");
        const QByteArray bytes =
            c.byteOrderMark ? "\xEF\xBB\xBF" + text.toUtf8() : toWindows1251(text);
        dir.write(QStringLiteral("phones.xml"), bytes);

        PhoneList phones;
        bool unreadable = true;
        int leftOut = -1;
        loadPhones(phones, path, &unreadable, &leftOut);
        EXPECT_FALSE(unreadable);
        EXPECT_EQ(leftOut, c.phones - PhoneSlotCount > 0 ? c.phones - PhoneSlotCount : 0);
        EXPECT_EQ(phones.slot(1).number, QStringLiteral("1"));
        EXPECT_EQ(phones.slot(1).alias, QStringLiteral("Ёж 1"));
        EXPECT_EQ(phones.slot(PhoneSlotCount).number, QString::number(PhoneSlotCount));

        QString error;
        QString notice;
        ASSERT_TRUE(
            savePhones(phones, path, dir.file(QStringLiteral("Zelvant.err")), &error, &notice))
            << error.toStdString();
        EXPECT_EQ(dir.read(QStringLiteral("phones.xml")).count("<Phone "), PhoneSlotCount);
        if (leftOut > 0) {
            EXPECT_EQ(dir.read(QStringLiteral("phones.xml.bak")), bytes);
            EXPECT_TRUE(notice.contains(QStringLiteral("phones.xml.bak")));
            EXPECT_TRUE(notice.contains(QStringLiteral("остальные %1 ").arg(leftOut)))
                << notice.toStdString();
        } else {
            EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bak")));
            EXPECT_TRUE(notice.isEmpty());
        }
        // The saved list holds no more than the slots, so the next save keeps
        // no backup and says nothing.
        QFile::remove(path + QStringLiteral(".bak"));
        notice.clear();
        ASSERT_TRUE(
            savePhones(phones, path, dir.file(QStringLiteral("Zelvant.err")), &error, &notice));
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bak")));
        EXPECT_TRUE(notice.isEmpty());
    }
}
