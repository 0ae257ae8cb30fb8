#include "testsupport.h"

#include "errors.h"
#include "layout.h"
#include "names.h"
#include "recordlist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace kv;

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void readingSplitsLines_data();
    void readingSplitsLines();
    void writingGivesExactBytes_data();
    void writingGivesExactBytes();
    void allBytesRoundTrip();
    void unmappableCharacterBecomesQuestionMark();
    void defaultsHaveTheirSizes();
    void lineAccessErrors();
    void writingPastTheEndPads();
    void unreadableFiles_data();
    void unreadableFiles();
    void kindsAsQtSeesThem_data();
    void kindsAsQtSeesThem();
    void savingIntoMissingDirectory();
    void nulKeepsWholeCopy();
    void failedSaveKeepsOldFile();
    void listingSkipsDirectoriesAndHiddenFiles();
    void flagsAndPrefixes();
    void nameRule_data();
    void nameRule();
};

void TestStore::readingSplitsLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lf only") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("trailing empty lines")
        << QByteArray("a\r\n\r\n\r\n") << QStringList{"a", "", ""};
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << QStringList{"", ""};
    QTest::newRow("mixed ends") << QByteArray("a\n\rb\r\n\nc")
                                << QStringList{"a", "", "b", "", "c"};
    QTest::newRow("nul ends the text")
        << QByteArray("a\r\nb\0c\r\nd\r\n", 11) << QStringList{"a", "b"};
    QTest::newRow("lines are not trimmed")
        << QByteArray(" T \r\n\t\r\n") << QStringList{" T ", "\t"};
    QTest::newRow("turkish letters")
        << QByteArray("\xFE\xF0\xFD\xDD\xE7\xF6\xFC\xDE\xD0\xC7\xD6\xDC\r\n")
        << QStringList{QStringLiteral("şğıİçöüŞĞÇÖÜ")};
}

void TestStore::readingSplitsLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/list.dll");
    TestEnvironment::writeBytes(path, bytes);

    RecordList list;
    list.append(QStringLiteral("replaced"));
    list.load(path);
    QCOMPARE(list.lines(), lines);
}

void TestStore::writingGivesExactBytes_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty list") << QStringList() << QByteArray();
    QTest::newRow("one empty line") << QStringList{""} << QByteArray("\r\n");
    QTest::newRow("trailing empty lines")
        << QStringList{"1000000", "", ""} << QByteArray("1000000\r\n\r\n\r\n");
    QTest::newRow("turkish letters as windows-1254")
        << QStringList{QStringLiteral("Çay"), QStringLiteral("Şalgam Suyu"),
                       QStringLiteral("ığüİö")}
        << QByteArray("\xC7"
                      "ay\r\n\xDE"
                      "algam Suyu\r\n\xFD\xF0\xFC\xDD\xF6\r\n");
}

void TestStore::writingGivesExactBytes()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, bytes);
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/list.dll");

    RecordList(lines).save(path);
    QCOMPARE(TestEnvironment::readBytes(path), bytes);

    RecordList back;
    back.load(path);
    QCOMPARE(back.lines(), lines);
}

void TestStore::allBytesRoundTrip()
{
    // Every byte but the line ends and NUL survives a load and a save unchanged.
    QByteArray bytes;
    for (int b = 1; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            bytes.append(char(b));
    }
    bytes.append("\r\n");
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/bytes.dll");
    TestEnvironment::writeBytes(path, bytes);
    RecordList list;
    list.load(path);
    QCOMPARE(list.count(), 1);
    list.save(path);
    QCOMPARE(TestEnvironment::readBytes(path), bytes);
}

void TestStore::unmappableCharacterBecomesQuestionMark()
{
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/q.dll");
    RecordList({QStringLiteral("a\u0416b\u20AC"), QStringLiteral("\x1A")}).save(path);
    QCOMPARE(TestEnvironment::readBytes(path), QByteArray("a?b\x80\r\n\x1A\r\n"));
}

void TestStore::defaultsHaveTheirSizes()
{
    TestEnvironment env;
    RecordList(defaultSettings()).save(env.root() + QStringLiteral("/s"));
    RecordList(defaultRegister()).save(env.root() + QStringLiteral("/r"));
    QCOMPARE(TestEnvironment::readBytes(env.root() + QStringLiteral("/s")),
             QByteArray("1000000\r\nT\r\n\r\nMasa\r\n0\r\n") +
                 QByteArray(11, 'x').replace("x", "\r\n"));
    QCOMPARE(TestEnvironment::readBytes(env.root() + QStringLiteral("/s")).size(), 45);
    const QByteArray reg = TestEnvironment::readBytes(env.root() + QStringLiteral("/r"));
    QCOMPARE(reg.size(), 1119);
    QVERIFY(reg.startsWith("0\r\n\r\n"));
    QCOMPARE(reg.count("\r\n"), 559);
}

void TestStore::lineAccessErrors()
{
    RecordList list({QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(list.at(1), QStringLiteral("b"));
    for (int index : {2, -1, 558}) {
        try {
            list.at(index);
            QFAIL("reading a missing line must fail");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.text(), QStringLiteral("List index out of bounds (%1)").arg(index));
        }
    }
    try {
        list.set(-1, QStringLiteral("x"));
        QFAIL("writing line -1 must fail");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.text(), QStringLiteral("Unable to insert a line"));
    }
    try {
        list.removeAt(5);
        QFAIL("removing a missing line must fail");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.text(), QStringLiteral("List index out of bounds (5)"));
    }
    QCOMPARE(list.count(), 2);
}

void TestStore::writingPastTheEndPads()
{
    RecordList list({QStringLiteral("3")});
    list.set(6, QStringLiteral("1000000"));
    QCOMPARE(list.lines(), (QStringList{"3", "", "", "", "", "", "1000000"}));
}

void TestStore::unreadableFiles_data()
{
    QTest::addColumn<QString>("what");
    for (const char *what : {"missing", "directory", "fifo", "dangling link", "too big"})
        QTest::newRow(what) << what;
}

void TestStore::kindsAsQtSeesThem_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("kind"); // files::Kind
    const auto row = [](const char *what, files::Kind kind) {
        QTest::newRow(what) << what << int(kind);
    };
    row("missing", files::Kind::Missing);
    row("regular", files::Kind::Regular);
    row("directory", files::Kind::Other);
    row("fifo", files::Kind::Other);
    row("dangling link", files::Kind::Other);
    row("link to a file", files::Kind::Regular);
    row("link to a directory", files::Kind::Other);
    row("below a file", files::Kind::Missing);
    row("empty path", files::Kind::Missing);
}

void TestStore::kindsAsQtSeesThem()
{
    // What is at a path, against what QFileInfo says of it.
    QFETCH(QString, what);
    QFETCH(int, kind);
    TestEnvironment env;
    const QString file = env.root() + QStringLiteral("/file.dll");
    const QString dir = env.root() + QStringLiteral("/dir");
    TestEnvironment::writeBytes(file, "a\r\n");
    QVERIFY(QDir().mkdir(dir));
    QString path = env.root() + QStringLiteral("/Zorbelayarex.dll");
    if (what == "regular")
        path = file;
    else if (what == "directory")
        path = dir;
    else if (what == "fifo")
        QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
    else if (what == "dangling link")
        QVERIFY(QFile::link(env.root() + QStringLiteral("/nowhere"), path));
    else if (what == "link to a file")
        QVERIFY(QFile::link(file, path));
    else if (what == "link to a directory")
        QVERIFY(QFile::link(dir, path));
    else if (what == "below a file")
        path = file + QStringLiteral("/x");
    else if (what == "empty path")
        path.clear();
    const QFileInfo info(path);
    const files::Kind byQt = info.isFile()                       ? files::Kind::Regular
                             : info.exists() || info.isSymLink() ? files::Kind::Other
                                                                 : files::Kind::Missing;
    QCOMPARE(int(byQt), kind);
    QCOMPARE(int(files::kind(path)), kind);
}

void TestStore::unreadableFiles()
{
    // Whatever cannot be read leaves the list empty and unknown, and an unknown list is
    // never saved over the thing that stands where its file should be.
    QFETCH(QString, what);
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/Zorbelayarex.dll");
    if (what == "directory")
        QVERIFY(QDir().mkdir(path));
    else if (what == "fifo")
        QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
    else if (what == "dangling link")
        QVERIFY(QFile::link(env.root() + QStringLiteral("/nowhere"), path));
    else if (what == "too big")
        TestEnvironment::writeBytes(path, QByteArray(RecordList::kMaxFileSize + 1, 'a'));
    const QFileInfo before(path);

    RecordList list({QStringLiteral("another table's line")});
    QElapsedTimer timer;
    timer.start();
    try {
        list.load(path);
        QFAIL("the load must fail");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.text(),
                 QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    }
    QVERIFY(timer.elapsed() < 1000); // a FIFO is never opened
    QVERIFY(list.isEmpty());
    QVERIFY(!list.known());
    list.append(QStringLiteral("new"));
    try {
        list.save(path);
        QFAIL("an unknown list must not be saved");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.text(), QDir::toNativeSeparators(path) +
                               QStringLiteral(" okunamadığı için üzerine kaydedilmedi!"));
    }
    const QFileInfo after(path);
    QCOMPARE(after.exists(), before.exists());
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.size(), before.size());
    QCOMPARE(files::kind(path), what == "missing"   ? files::Kind::Missing
                                : what == "too big" ? files::Kind::Regular
                                                    : files::Kind::Other);

    // A list read again from a sound file is known again.
    const QString sound = env.root() + QStringLiteral("/sound.dll");
    TestEnvironment::writeBytes(sound, "a\r\n");
    list.load(sound);
    QVERIFY(list.known());
    list.save(sound);
}

void TestStore::savingIntoMissingDirectory()
{
    TestEnvironment env;
    const QString missing = env.root() + QStringLiteral("/none/file.dll");
    try {
        RecordList({QStringLiteral("kept")}).save(missing);
        QFAIL("saving into a missing directory must fail");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.text(),
                 QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(missing)));
    }
    QVERIFY(!QFile::exists(missing));
}

void TestStore::nulKeepsWholeCopy()
{
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/Zorbelayarms.dll");
    const QByteArray bytes("3\r\n7.12.2026\r\n\0junk\r\n8.12.2026\r\n", 32);
    TestEnvironment::writeBytes(path, bytes);
    RecordList list;
    list.load(path);
    QCOMPARE(list.lines(), (QStringList{"3", "7.12.2026"}));
    QCOMPARE(TestEnvironment::readBytes(path + QStringLiteral(".nul-yedek")), bytes);
    QCOMPARE(env.messages().infos.size(), 1);
    QVERIFY(env.messages().infos.at(0).contains(QStringLiteral("Zorbelayarms.dll.nul-yedek")));
    // Told once: the same file read again is kept already.
    list.load(path);
    QCOMPARE(env.messages().infos.size(), 1);
    list.save(path);
    QCOMPARE(TestEnvironment::readBytes(path), QByteArray("3\r\n7.12.2026\r\n"));
    QCOMPARE(TestEnvironment::readBytes(path + QStringLiteral(".nul-yedek")), bytes);
}

void TestStore::failedSaveKeepsOldFile()
{
    // A regular file where the temporary file's directory would be makes the save fail for
    // real, also as root. The old file must stay byte for byte, with nothing left beside it.
    TestEnvironment env;
    const QString dir = env.root() + QStringLiteral("/data");
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/Zorbelayarms.dll");
    const QByteArray old("0\r\n\r\n");
    TestEnvironment::writeBytes(path, old);

    // Renaming over a directory fails even for root: put a directory where the target is.
    const QString blocked = dir + QStringLiteral("/blocked.dll");
    QDir().mkpath(blocked + QStringLiteral("/inner"));
    RecordList list({QStringLiteral("new")});
    QVERIFY_THROWS_EXCEPTION(RuntimeError, list.save(blocked));

    const QString underFile = path + QStringLiteral("/sub.dll");
    QVERIFY_THROWS_EXCEPTION(RuntimeError, list.save(underFile));
    QCOMPARE(TestEnvironment::readBytes(path), old);
    QStringList left = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    left.sort();
    QCOMPARE(left, (QStringList{"Zorbelayarms.dll", "blocked.dll"}));
}

void TestStore::listingSkipsDirectoriesAndHiddenFiles()
{
    TestEnvironment env;
    const QString dir = env.root() + QStringLiteral("/Masa Extraları");
    TestEnvironment::writeBytes(dir + QStringLiteral("/Masa 1.msex"), "a\r\n1\r\n");
    TestEnvironment::writeBytes(dir + QStringLiteral("/other.txt"), "");
    TestEnvironment::writeBytes(dir + QStringLiteral("/.hidden"), "");
    QDir().mkpath(dir + QStringLiteral("/sub"));
    QCOMPARE(files::list(dir), (QStringList{"Masa 1.msex", "other.txt"}));
    QVERIFY(files::list(env.root() + QStringLiteral("/missing")).isEmpty());
    QVERIFY(files::exists(dir + QStringLiteral("/Masa 1.msex")));
    QVERIFY(!files::exists(dir + QStringLiteral("/sub")));
    files::remove(dir + QStringLiteral("/Masa 1.msex"));
    files::remove(dir + QStringLiteral("/never there"));
    QVERIFY(!files::exists(dir + QStringLiteral("/Masa 1.msex")));
}

void TestStore::flagsAndPrefixes()
{
    QVERIFY(isOn(QStringLiteral("T")));
    for (const char *off : {"t", "True", "", "F", " T"})
        QVERIFY2(!isOn(QString::fromLatin1(off)), off);
    QCOMPARE(Paths(QStringLiteral("/d")).tableExtrasFile(QStringLiteral("Masa 3")),
             QStringLiteral("/d/Masa Extraları/Masa 3.msex"));
    QCOMPARE(RegisterLine::date(2), 7);
    QCOMPARE(RegisterLine::fee(2), 9);
}

void TestStore::nameRule_data()
{
    using names::NameUse;
    QTest::addColumn<QString>("name");
    QTest::addColumn<NameUse>("use");
    QTest::addColumn<QStringList>("taken");
    // Empty when the name is taken as typed; otherwise a part of the message.
    QTest::addColumn<QString>("says");
    const auto row = [](const char *tag, const QString &name, NameUse use, const QString &says,
                        const QStringList &taken = {}) {
        QTest::newRow(tag) << name << use << taken << says;
    };
    const auto extra = NameUse::Extra, prefix = NameUse::TablePrefix, table = NameUse::TableName;
    row("first character the code page lacks", "Kahve ☕ ₺", extra,
        "Extra adı “☕” karakterini içeremez: kayıt dosyaları bu karakteri tutamaz.");
    row("outside the basic plane, named whole", "Tost 😀", extra, "“😀”");
    row("empty extra", "", extra, "Extra adı boş olamaz!");
    row("blanks only", "  \u00a0", extra, "Extra adı boş olamaz!");
    row("line break shifts every pair", "Çay\r\n5", extra, "(U+000D)");
    row("a free byte of the code page", "Çay\u0081", extra, "(U+0081)");
    row("no file name, so / and ? are fine", "1/2 Su?", extra, "");
    row("the same extra twice is allowed", "çay", extra, "", {"Çay"});
    row("default prefix", "Masa", prefix, "");
    row("empty prefix makes \" 1\"", "", prefix, "");
    row("a prefix's trailing dot comes before the number", "No.", prefix, "");
    row("CON 1 is no device, CON. 1 is one", "CON.", prefix, "aygıta");
    row("out of the extras folder", "../x", prefix, "Masa adı “/” karakterini içeremez");
    row("leading dot hides the files", ".M", prefix, "nokta ile başlayamaz");
    for (const char *c : {"\\", ":", "*", "?", "\"", "<", ">", "|"})
        row(c, QStringLiteral("a%1b").arg(QLatin1String(c)), prefix,
            QStringLiteral("“%1” karakterini içeremez: dosya adlarında").arg(QLatin1String(c)));
    row("dot dot", "..", table, "nokta ile başlayamaz");
    row("trailing dot", "Bilardo.", table, "bitemez");
    row("trailing blank", "Bilardo ", table, "bitemez");
    row("device, any case, with extension", "con.txt", table, "“con.txt” olamaz");
    row("device before blanks", "nul .txt", table, "aygıta");
    row("port with superscript", "COM¹", table, "aygıta");
    row("longer than a port", "COM10", table, "");
    row("taken, other case", "masa 1", table, "başka bir masa", {"Masa 1"});
    row("dotless i is I on the disk", "Masa ı", table, "başka bir masa", {"Masa I"});
    row("empty table name", " ", table, "Masa adı boş olamaz!");
}

void TestStore::nameRule()
{
    QFETCH(QString, name);
    QFETCH(names::NameUse, use);
    QFETCH(QStringList, taken);
    QFETCH(QString, says);
    const QString problem = names::problem(name, use, taken);
    if (says.isEmpty())
        QCOMPARE(problem, QString());
    else
        QVERIFY2(problem.contains(says), qPrintable(problem));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
