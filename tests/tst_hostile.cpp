// Hostile and hand-edited record files, at start-up and in use: no crash, no hang, the
// message that says what is wrong, and nothing overwritten that the operator did not change.
#include "deskfixture.h"

#include "ayarlar.h"
#include "ucretsecimi.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

using namespace kv;

namespace {

QByteArray lines(const QStringList &l)
{
    return RecordList::toBytes(l);
}

// The sound contents the hostile one replaces.
QByteArray sound(const QString &file)
{
    if (file == "settings") {
        QStringList s = defaultSettings();
        s[SettingsLine::MultipleFees] = QStringLiteral("T");
        return lines(s);
    }
    if (file == "register") {
        QStringList r = defaultRegister();
        r[0] = QStringLiteral("2");
        r[1] = QStringLiteral("7.12.2026");
        r[2] = QStringLiteral("20:00:00");
        r[3] = QStringLiteral("1000000");
        return lines(r);
    }
    if (file == "catalogue")
        return lines({"Çay", "15", "Tost", "40"});
    if (file == "fee list")
        return lines({"1000000", "250000"});
    return lines({"Çay", "15", "Su", "10"}); // Masa 1's extras
}

// Numbers written as words, where each file keeps numbers.
QByteArray wordsForNumbers(const QString &file)
{
    if (file == "settings") {
        QStringList s = defaultSettings();
        s[0] = QStringLiteral("bir milyon");
        s[4] = QStringLiteral("yüz");
        s[5] = QStringLiteral("T");
        return lines(s);
    }
    if (file == "register")
        return lines({"iki", "dün", "akşam", "çok"});
    if (file == "catalogue")
        return lines({"Çay", "on beş", "Tost", "kırk"});
    if (file == "fee list")
        return lines({"bedava", "250.000"});
    return lines({"Çay", "on beş"});
}

QMap<QString, std::function<void(const QString &, const QString &)>> hostilities()
{
    using Make = std::function<void(const QString &, const QString &)>;
    const auto write = [](const QString &path, const QByteArray &bytes) {
        TestEnvironment::writeBytes(path, bytes);
    };
    QMap<QString, Make> h;
    h["100000 lines"] = [=](const QString &, const QString &path) {
        write(path, QByteArray("1\r\n").repeated(100000));
    };
    h["50 MB"] = [=](const QString &, const QString &path) {
        write(path, QByteArray(78, 'x').append("\r\n").repeated(50 * 1024 * 1024 / 80));
    };
    h["random bytes"] = [=](const QString &, const QString &path) {
        QRandomGenerator random(2026);
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random.bounded(256));
        write(path, bytes);
    };
    h["byte-order mark"] = [=](const QString &file, const QString &path) {
        write(path, "\xEF\xBB\xBF" + sound(file));
    };
    h["directory"] = [](const QString &, const QString &path) { QDir().mkpath(path); };
    h["dangling link"] = [](const QString &, const QString &path) {
        QFile::link(path + QStringLiteral(".gone"), path);
    };
    h["NUL bytes"] = [=](const QString &file, const QString &path) {
        QByteArray bytes = sound(file);
        bytes.insert(bytes.size() / 2, QByteArray("\0\0", 2));
        write(path, bytes);
    };
    h["words for numbers"] = [=](const QString &file, const QString &path) {
        write(path, wordsForNumbers(file));
    };
    return h;
}

QString pathOf(const Desk &desk, const QString &file)
{
    if (file == "settings")
        return desk.paths.settingsFile();
    if (file == "register")
        return desk.paths.registerFile();
    if (file == "catalogue")
        return desk.paths.catalogueFile();
    if (file == "fee list")
        return desk.paths.feeListFile();
    return desk.paths.tableExtrasFile("Masa 1");
}

// Every file of the data directory with its bytes (or what it is).
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        if (info.fileName().startsWith(QLatin1String("Defter.")))
            continue; // the ledger and its id, which the program keeps
        out[path] = info.isSymLink() ? "link to " + QFile::encodeName(info.symLinkTarget())
                    : info.isDir()   ? QByteArray("directory")
                                     : TestEnvironment::readBytes(path);
    }
    return out;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void files();
};

void TestHostile::files_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("hostility");
    for (const char *file : {"settings", "register", "catalogue", "fee list", "table extras"})
        for (const QString &h : hostilities().keys())
            QTest::addRow("%s, %s", file, qPrintable(h)) << file << h;
    // What only the register's and a table extras file's lines can be.
    for (const char *h : {"count 81", "count -5", "shorter than its count"})
        QTest::addRow("register, %s", h) << "register" << h;
    QTest::newRow("table extras, one line") << "table extras"
                                            << "one line";
}

void TestHostile::files()
{
    QFETCH(QString, file);
    QFETCH(QString, hostility);
    Desk desk;
    desk.prepare(2, {}, {}, {});
    for (const char *f : {"settings", "register", "catalogue", "fee list", "table extras"})
        TestEnvironment::writeBytes(pathOf(desk, f), sound(f));
    const QString path = pathOf(desk, file);
    QFile::remove(path);
    if (hostility == "count 81")
        TestEnvironment::writeBytes(path, lines(QStringList{"81"} + QStringList(558, QString())));
    else if (hostility == "count -5")
        TestEnvironment::writeBytes(path, lines(QStringList{"-5"} + QStringList(558, QString())));
    else if (hostility == "shorter than its count")
        TestEnvironment::writeBytes(path, lines({"3", "7.12.2026", "20:00:00", "1000000", ""}));
    else if (hostility == "one line")
        TestEnvironment::writeBytes(path, lines({"Çay"}));
    else
        hostilities().value(hostility)(file, path);
    const QMap<QString, QByteArray> before = snapshot(desk.env.dataDir());

    QElapsedTimer timer;
    timer.start();
    desk.start();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    const bool unreadable =
        hostility == "directory" || hostility == "dangling link" || hostility == "50 MB";
    // The start-up loads the register, settings and catalogue, and every table's extras
    // (for the floor); the fee list only when it is used.
    if (unreadable && file != "fee list" && file != "table extras")
        QVERIFY2(desk.env.messages().errors.contains("Cannot open file " +
                                                     QDir::toNativeSeparators(path)),
                 qPrintable(desk.env.messages().errors.join('|')));

    // In use: every table shown and calculated, the picker, the fee window, the settings.
    for (int t = 0; t < desk.ui()->ListBox2->count(); ++t) {
        desk.select(t);
        desk.run([&] { desk.form()->SpeedButton3Click(); });
    }
    if (desk.ui()->ListBox2->count() > 0) {
        desk.select(0);
        ModalDriver picker(desk.forms.Form5.get(), {});
        desk.run([&] { desk.form()->ListBox4DblClick(); });
        TForm7 *fees = desk.forms.Form7.get();
        ModalDriver choose(fees, {});
        desk.run([&] { desk.form()->Label27DblClick(); });
    }
    TForm3 *settings = desk.forms.Form3.get();
    ModalDriver window(settings, {[settings] { settings->reject(); }});
    desk.run([&] { desk.form()->Seenekler1Click(); });
    QVERIFY(window.sawOpen); // whatever the files hold
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    if (unreadable && file == "table extras")
        QVERIFY(desk.env.messages().errors.contains("Cannot open file " +
                                                    QDir::toNativeSeparators(path)));

    // Nothing the operator did not change is written; a NUL-cut file is kept whole beside.
    QMap<QString, QByteArray> after = snapshot(desk.env.dataDir());
    const QString kept = path + QStringLiteral(".nul-yedek");
    if (hostility == "NUL bytes" || (hostility == "random bytes" && after.contains(kept))) {
        QCOMPARE(after.take(kept), before.value(path));
        QVERIFY(!desk.env.messages().infos.filter("NUL").isEmpty());
    }
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
