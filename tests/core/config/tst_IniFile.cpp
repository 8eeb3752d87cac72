// INI files: hand-written Windows-1251 files, letter case, blanks, numbers,
// what a write keeps, and failing writes.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include "core/TextCodec.h"
#include "core/config/AtomicWrite.h"
#include "core/config/IniFile.h"
#include "support/TempFolder.h"

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/resource.h>
#endif

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

QByteArray cp1251(const QString &text)
{
    return toWindows1251(text);
}

} // namespace

TEST(IniFileRead, HandWrittenFileMatchesNamesWithoutLetterCaseAndTrimsBlanks)
{
    TempFolder dir;
    dir.write(QStringLiteral("a.ini"),
              cp1251(QStringLiteral("; comment line\r\n"
                                    "  [ Hint Window ]  \r\n"
                                    "  CBNN  =   1   \r\n"
                                    "cbAlias=0\r\n"
                                    "\r\n"
                                    "[Орвел - Санкт-Петербург]\r\n"
                                    "ShortName = СПб\r\n"
                                    "LoginURL=https://spb.example/x?a=b=c\r\n"
                                    "[ёЛКА]\n"
                                    "КЛЮЧ=Значение Ё\n")));
    const IniFile ini(dir.file(QStringLiteral("a.ini")));
    EXPECT_TRUE(ini.readBool(QStringLiteral("hint window"), QStringLiteral("cbNN"), false));
    EXPECT_FALSE(ini.readBool(QStringLiteral("HINT WINDOW"), QStringLiteral("cbalias"), true));
    // Cyrillic letter case is ignored as well, Ё included.
    EXPECT_EQ(ini.readString(QStringLiteral("орвел - САНКТ-ПЕТЕРБУРГ"), QStringLiteral("shortname"),
                             QString()),
              QStringLiteral("СПб"));
    EXPECT_EQ(ini.readString(QStringLiteral("ЁлКа"), QStringLiteral("ключ"), QString()),
              QStringLiteral("Значение Ё"));
    // Only the first "=" separates key and value.
    EXPECT_EQ(ini.readString(QStringLiteral("Орвел - Санкт-Петербург"), QStringLiteral("LoginURL"),
                             QString()),
              QStringLiteral("https://spb.example/x?a=b=c"));
    EXPECT_EQ(ini.sections(),
              QStringList({QStringLiteral("Hint Window"), QStringLiteral("Орвел - Санкт-Петербург"),
                           QStringLiteral("ёЛКА")}));
    EXPECT_EQ(ini.keys(QStringLiteral("hint window")),
              QStringList({QStringLiteral("CBNN"), QStringLiteral("cbAlias")}));
    EXPECT_EQ(ini.readString(QStringLiteral("Hint Window"), QStringLiteral("missing"),
                             QStringLiteral("dflt")),
              QStringLiteral("dflt"));
    EXPECT_EQ(
        ini.readString(QStringLiteral("No such"), QStringLiteral("cbNN"), QStringLiteral("d")),
        QStringLiteral("d"));
}

TEST(IniFileRead, IntegersAreDecimalOrHexAndAnythingElseGivesTheDefault)
{
    TempFolder dir;
    dir.write(QStringLiteral("n.ini"), QByteArrayLiteral("[N]\r\n"
                                                         "dec=42\r\n"
                                                         "neg=-7\r\n"
                                                         "hex=0x1F\r\n"
                                                         "HEX=0X1f\r\n"
                                                         "word=yes\r\n"
                                                         "empty=\r\n"
                                                         "tail=12abc\r\n"
                                                         "float=1.5\r\n"
                                                         "huge=99999999999\r\n"
                                                         "sentinel=-230973\r\n"
                                                         "two=2\r\n"
                                                         "zero=0\r\n"
                                                         "blank=   \r\n"));
    const IniFile ini(dir.file(QStringLiteral("n.ini")));
    const QString n = QStringLiteral("N");
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("dec"), -1), 42);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("neg"), -1), -7);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("hex"), -1), 31);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("word"), -1), -1);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("empty"), -1), -1);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("tail"), -1), -1);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("float"), -1), -1);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("huge"), -1), -1);
    EXPECT_EQ(ini.readInteger(n, QStringLiteral("sentinel"), 5), -230973);
    // Booleans: any integer other than 0 is true; a word gives the default.
    EXPECT_TRUE(ini.readBool(n, QStringLiteral("two"), false));
    EXPECT_FALSE(ini.readBool(n, QStringLiteral("zero"), true));
    EXPECT_FALSE(ini.readBool(n, QStringLiteral("word"), false));
    EXPECT_TRUE(ini.readBool(n, QStringLiteral("word"), true));
    EXPECT_TRUE(ini.readBool(n, QStringLiteral("blank"), true));
    EXPECT_TRUE(ini.readBool(n, QStringLiteral("missing"), true));

    int v = 0;
    EXPECT_TRUE(parseIniInteger(QStringLiteral(" -2147483648 "), &v));
    EXPECT_EQ(v, std::numeric_limits<int>::min());
    EXPECT_FALSE(parseIniInteger(QStringLiteral("2147483648"), &v));
    EXPECT_FALSE(parseIniInteger(QStringLiteral("0x"), &v));
    EXPECT_FALSE(parseIniInteger(QStringLiteral("-"), &v));
    EXPECT_FALSE(parseIniInteger(QStringLiteral("١٢"), &v)); // digits of another script
}

TEST(IniFileRead, MissingOrUnreadableFileReadsAsEmptyAndDuplicatesUseTheFirst)
{
    TempFolder dir;
    const IniFile missing(dir.file(QStringLiteral("none.ini")));
    EXPECT_TRUE(missing.sections().isEmpty());
    EXPECT_EQ(missing.readInteger(QStringLiteral("A"), QStringLiteral("b"), 3), 3);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("none.ini"))));

    QDir(dir.path()).mkdir(QStringLiteral("folder.ini"));
    const IniFile folder(dir.file(QStringLiteral("folder.ini")));
    EXPECT_TRUE(folder.sections().isEmpty());

    dir.write(QStringLiteral("dup.ini"),
              "k=before any section\r\n[S]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\nother=4\r\n");
    const IniFile dup(dir.file(QStringLiteral("dup.ini")));
    EXPECT_EQ(dup.readInteger(QStringLiteral("S"), QStringLiteral("k"), 0), 1);
    EXPECT_EQ(dup.sections(), QStringList({QStringLiteral("S")}));
    // Keys of a repeated section are not merged into the first.
    EXPECT_FALSE(dup.keyExists(QStringLiteral("S"), QStringLiteral("other")));
}

TEST(IniFileRead, HandEditsAreSeenDespiteTheCache)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("c.ini"));
    IniFile ini(path);
    ASSERT_TRUE(ini.writeBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false));
    EXPECT_FALSE(ini.readBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true));
    // Same size, written in place at once: the cache must notice.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        bytes.replace("SaveLogFiles=0", "SaveLogFiles=1");
        f.seek(0);
        f.write(bytes);
    }
    EXPECT_TRUE(ini.readBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false));
    // Another object writing the file is seen as well.
    IniFile other(path);
    ASSERT_TRUE(other.writeInteger(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), 0));
    EXPECT_FALSE(ini.readBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true));
    // Removing the file makes everything default again.
    QFile::remove(path);
    EXPECT_TRUE(ini.readBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true));
}

TEST(IniFileWrite, KeepsCommentsUnknownLinesOrderAndTheBytesOfUntouchedLines)
{
    TempFolder dir;
    // 0x98 is unassigned in the code page; an untouched line keeps it.
    const QByteArray original = cp1251(QStringLiteral("; Настройки\r\n"
                                                      "[Hint Window]\r\n"
                                                      "cbNN=1\r\n"
                                                      "garbage line without equals\r\n"
                                                      "; closing comment\r\n"
                                                      "\r\n"
                                                      "[Unknown]\r\n"
                                                      "Keep=это\r\n"))
                                + QByteArray("Raw=\x98\xC0\r\n") + QByteArray("[Last]\r\nx=1");
    dir.write(QStringLiteral("k.ini"), original);
    IniFile ini(dir.file(QStringLiteral("k.ini")));

    ASSERT_TRUE(ini.writeBool(QStringLiteral("HINT WINDOW"), QStringLiteral("CBNN"), false));
    ASSERT_TRUE(ini.writeBool(QStringLiteral("hint window"), QStringLiteral("cbAlias"), true));
    ASSERT_TRUE(ini.writeString(QStringLiteral("Last"), QStringLiteral("y"), QStringLiteral("Ю")));
    ASSERT_TRUE(
        ini.writeString(QStringLiteral("Новый"), QStringLiteral("Ключ"), QStringLiteral("Я")));

    const QByteArray expected = cp1251(QStringLiteral("; Настройки\r\n"
                                                      "[Hint Window]\r\n"
                                                      "cbNN=0\r\n" // key spelled as the user did
                                                      "cbAlias=1\r\n"
                                                      "garbage line without equals\r\n"
                                                      "; closing comment\r\n"
                                                      "\r\n"
                                                      "[Unknown]\r\n"
                                                      "Keep=это\r\n"))
                                + QByteArray("Raw=\x98\xC0\r\n")
                                + QByteArray("[Last]\r\nx=1\r\ny=\xDE\r\n")
                                + cp1251(QStringLiteral("\r\n[Новый]\r\nКлюч=Я\r\n"));
    EXPECT_EQ(dir.read(QStringLiteral("k.ini")), expected);
    // A value read from the unassigned byte goes back as that byte.
    ASSERT_TRUE(ini.writeString(
        QStringLiteral("Unknown"), QStringLiteral("Raw"),
        ini.readString(QStringLiteral("Unknown"), QStringLiteral("Raw"), QString())));
    EXPECT_EQ(dir.read(QStringLiteral("k.ini")), expected);
}

TEST(IniFileWrite, FirstWriteCreatesTheFileAndEraseLeavesOtherContent)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("new.ini"));
    IniFile ini(path);
    // Erasing what does not exist creates nothing.
    ASSERT_TRUE(ini.eraseSection(QStringLiteral("A")));
    ASSERT_TRUE(ini.eraseKey(QStringLiteral("A"), QStringLiteral("b")));
    EXPECT_FALSE(QFile::exists(path));

    ASSERT_TRUE(ini.writeInteger(QStringLiteral("A"), QStringLiteral("n"), -1));
    ASSERT_TRUE(ini.writeString(QStringLiteral("B"), QStringLiteral("s"), QStringLiteral("x")));
    ASSERT_TRUE(ini.writeString(QStringLiteral("A"), QStringLiteral("m"), QStringLiteral("y")));
    EXPECT_EQ(dir.read(QStringLiteral("new.ini")),
              QByteArray("[A]\r\nn=-1\r\nm=y\r\n\r\n[B]\r\ns=x\r\n"));

    // A repeated section goes as a whole, so no older copy surfaces.
    dir.write(QStringLiteral("new.ini"), "[A]\nn=1\n[B]\ns=x\n[a]\nn=2\n");
    ASSERT_TRUE(ini.eraseSection(QStringLiteral("a")));
    EXPECT_FALSE(ini.sectionExists(QStringLiteral("A")));
    EXPECT_EQ(dir.read(QStringLiteral("new.ini")), QByteArray("[B]\ns=x\n"));
    ASSERT_TRUE(ini.eraseKey(QStringLiteral("b"), QStringLiteral("S")));
    EXPECT_EQ(dir.read(QStringLiteral("new.ini")), QByteArray("[B]\n"));

    // A batch stores everything or nothing.
    QString error;
    EXPECT_FALSE(ini.apply({IniFile::Change::write(QStringLiteral("B"), QStringLiteral("ok"), 1),
                            IniFile::Change::write(QStringLiteral("B"), QStringLiteral("bad"),
                                                   QStringLiteral("漢字"))},
                           &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Windows-1251")));
    EXPECT_EQ(dir.read(QStringLiteral("new.ini")), QByteArray("[B]\n"));
}

TEST(IniFileWrite, RefusesWhatTheFileCannotHoldAndReportsFailedWrites)
{
    TempFolder dir;
    dir.write(QStringLiteral("r.ini"), "[S]\r\nk=old\r\n");
    IniFile ini(dir.file(QStringLiteral("r.ini")));
    const QByteArray before = dir.read(QStringLiteral("r.ini"));
    QString error;
    EXPECT_FALSE(ini.writeString(QStringLiteral("S"), QStringLiteral("k"),
                                 QStringLiteral("€ ok, ✓ not"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("✓")));
    error.clear();
    EXPECT_FALSE(
        ini.writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\nb"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ini.writeString(QStringLiteral("S]x"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(ini.writeString(QStringLiteral(" "), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(ini.writeString(QStringLiteral("S"), QStringLiteral("a=b"), QStringLiteral("v")));
    EXPECT_FALSE(ini.writeString(QStringLiteral("S"), QStringLiteral(";k"), QStringLiteral("v")));
    EXPECT_EQ(dir.read(QStringLiteral("r.ini")), before);
    // "€" has a byte in the code page and is stored.
    ASSERT_TRUE(ini.writeString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("5 €")));
    EXPECT_EQ(dir.read(QStringLiteral("r.ini")), QByteArray("[S]\r\nk=5 \x88\r\n"));

    // A folder that does not exist: the write fails with the reason.
    IniFile nowhere(dir.file(QStringLiteral("missing/dir/x.ini")));
    error.clear();
    EXPECT_FALSE(nowhere.writeBool(QStringLiteral("A"), QStringLiteral("b"), true, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("x.ini")));
    EXPECT_TRUE(nowhere.sections().isEmpty());

    // A folder in place of the file: nothing is replaced.
    QDir(dir.path()).mkdir(QStringLiteral("d.ini"));
    IniFile folder(dir.file(QStringLiteral("d.ini")));
    error.clear();
    EXPECT_FALSE(folder.writeBool(QStringLiteral("A"), QStringLiteral("b"), true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(dir.file(QStringLiteral("d.ini"))).isDir());
}

#ifdef Q_OS_UNIX
// A write that runs out of room half-way (a full disk, simulated with a file
// size limit that holds even for root) leaves the old file as it was.
TEST(IniFileWrite, AWriteCutShortLeavesTheOldFileWhole)
{
    TempFolder dir;
    const QByteArray original = "[S]\r\nk=old\r\n";
    dir.write(QStringLiteral("full.ini"), original);
    IniFile ini(dir.file(QStringLiteral("full.ini")));

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    QString error;
    const bool ok = ini.writeString(QStringLiteral("S"), QStringLiteral("k"),
                                    QString(200, QLatin1Char('x')), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_TRUE(error.contains(QStringLiteral("full.ini")));
    EXPECT_EQ(dir.read(QStringLiteral("full.ini")), original);
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("k"), QString()),
              QStringLiteral("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("full.ini")});
}
#endif

TEST(IniFileRead, AByteOrderMarkMakesTheFileUtf8AlsoForWrites)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("utf8.ini"));
    dir.write(QStringLiteral("utf8.ini"), "\xEF\xBB\xBF[Шаг]\r\nФраза=\"₽ и ё\"\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.sections(), QStringList{QStringLiteral("Шаг")});
    EXPECT_EQ(ini.readString(QStringLiteral("шаг"), QStringLiteral("ФРАЗА"), QString()),
              QStringLiteral("\"₽ и ё\""));
    // What a write adds is UTF-8 too, and the mark stays in front.
    ASSERT_TRUE(ini.writeString(QStringLiteral("Шаг"), QStringLiteral("Ещё"), QStringLiteral("€")));
    EXPECT_EQ(dir.read(QStringLiteral("utf8.ini")),
              QByteArray("\xEF\xBB\xBF[Шаг]\r\nФраза=\"₽ и ё\"\r\nЕщё=€\r\n"));
}

// A file an editor saved as UTF-8 with a byte order mark: read as UTF-8
// (the first section is not hidden behind the mark) and written back the
// same way, untouched lines byte for byte.
TEST(IniFileEncoding, ByteOrderMarkMeansUtf8ForReadingAndWriting)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("servers.ini"));
    const QByteArray original =
        "\xEF\xBB\xBF[Регион]\r\nShortName=Юг\r\n; заметка ₽\r\n";
    dir.write(QStringLiteral("servers.ini"), original);
    IniFile file(path);
    EXPECT_EQ(file.sections(), QStringList{QStringLiteral("Регион")});
    EXPECT_EQ(file.readString(QStringLiteral("регион"), QStringLiteral("shortname"), QString()),
              QStringLiteral("Юг"));

    // UTF-8 holds what Windows-1251 cannot.
    ASSERT_TRUE(file.writeString(QStringLiteral("Регион"), QStringLiteral("Валюта"),
                                 QStringLiteral("₽")));
    const QByteArray written = dir.read(QStringLiteral("servers.ini"));
    EXPECT_EQ(written, original.left(original.indexOf("; "))
                           + "Валюта=₽\r\n; заметка ₽\r\n");
    EXPECT_EQ(
        IniFile(path).readString(QStringLiteral("Регион"), QStringLiteral("Валюта"), QString()),
        QStringLiteral("₽"));
}

// Copies that a process killed during an atomic write left behind: only
// the program's own, only those nobody has touched for a while, and never
// a copy the user named.
TEST(AtomicWrite, StaleTemporaryCopiesOfOurOwnFilesAreRemoved)
{
    TempFolder dir;
    const QStringList ours = {
        QStringLiteral("Zelvant.ini.aB3dE9"), QStringLiteral("phones.xml.Xy12Z3"),
        QStringLiteral("phones.xml.bak.q9Zx0w"), QStringLiteral(".Zelvant.mdb.q1w2e3"),
        QStringLiteral("24-01-02_03-04-05-678.html.AbCdEf")};
    const QStringList kept = {
        QStringLiteral("notes.txt.abcdef"),   QStringLiteral("phones.xml"),
        QStringLiteral("phones.xml.bak"),     QStringLiteral("phones.xml.toolong7"),
        QStringLiteral("Zelvant.ini.ab-de9"), QStringLiteral("phones.xml.backup"),
        QStringLiteral("phones.xml.Copy01"),  QStringLiteral("servers.ini.202401"),
        QStringLiteral("servers.ini.Zz9Yy8")};
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString &name : ours + kept) {
        dir.write(name, "x");
        QFile file(dir.file(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        // The last one is young: a writer may still be at work.
        if (name != kept.last()) {
            ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
    }
    const QStringList names = {QStringLiteral("Zelvant.ini"), QStringLiteral("servers.ini"),
                               QStringLiteral("phones.xml"), QStringLiteral("phones.xml.bak"),
                               QStringLiteral("Zelvant.mdb")};
    EXPECT_EQ(removeStaleTemporaryCopies(
                  dir.path(), names, QDateTime::currentDateTime().addSecs(-StaleCopyAgeSeconds)),
              ours.size());
    for (const QString &name : ours)
        EXPECT_FALSE(QFile::exists(dir.file(name))) << name.toStdString();
    for (const QString &name : kept)
        EXPECT_TRUE(QFile::exists(dir.file(name))) << name.toStdString();
}
