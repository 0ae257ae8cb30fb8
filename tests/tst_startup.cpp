#include "deskfixture.h"

#include "antTaskbarIcon.h"

#include "ayarlar.h"

#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>

using namespace kv;

namespace {
const QString kAskForTables = QStringLiteral(
    "Masa bilgilerinizi girmek için Ayarlar/Seçenekler sekmesi altından Masa sayınızı girin!");
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartOnEmptyDisk();
    void tableCount_data();
    void tableCount();
    void firstStartMakesMissingParents();
    void missingExtrasDirectoryIsMade();
    void unreadableStoreIsNeverSavedOver_data();
    void unreadableStoreIsNeverSavedOver();
    void multipleFeeCaption();
    void singleFeeCaptionAndEndTime();
    void failingStepDoesNotStopTheOthers_data();
    void failingStepDoesNotStopTheOthers();
    void settingsDeletedKeepsOtherFiles();
    void registerShorterThanItsCount();
    void closingHidesOrMinimises_data();
    void closingHidesOrMinimises();
    void exitEndsTheProgram();
    void fallbackMenuOffersExit();
};

void TestStartup::firstStartOnEmptyDisk()
{
    Desk desk;
    QVERIFY(!QFileInfo::exists(desk.env.dataDir()));
    desk.start();

    QVERIFY(QFileInfo(desk.env.dataDir()).isDir());
    QVERIFY(QFileInfo(desk.paths.extrasDir()).isDir());
    const QByteArray settings = TestEnvironment::readBytes(desk.paths.settingsFile());
    QCOMPARE(settings.size(), 45);
    QVERIFY(settings.startsWith("1000000\r\nT\r\n\r\nMasa\r\n0\r\n\r\n"));
    const QByteArray reg = TestEnvironment::readBytes(desk.paths.registerFile());
    QCOMPARE(reg.size(), 1119);
    QCOMPARE(reg, QByteArray("0") + QByteArray("\r\n").repeated(559));
    QCOMPARE(TestEnvironment::readBytes(desk.paths.catalogueFile()), QByteArray());
    QVERIFY(!QFileInfo::exists(desk.paths.feeListFile()));
    QVERIFY(QDir(desk.paths.extrasDir()).isEmpty());
    QCOMPARE(desk.env.messages().infos, QStringList{kAskForTables});
    QVERIFY(desk.env.messages().errors.isEmpty());
    QCOMPARE(desk.ui()->ListBox2->count(), 0);
    QCOMPARE(desk.ui()->Label6->text(), QStringLiteral("Birim Ücret   :"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("0 TL"));
    QVERIFY(desk.panel()->bitis->isEnabled());
    QCOMPARE(desk.form()->hall().settings().lines(), defaultSettings());

    // The second start reads what the first wrote and asks again for the count.
    Desk again;
    QDir().rename(desk.env.dataDir(), again.env.dataDir());
    again.start();
    QCOMPARE(again.env.messages().infos, QStringList{kAskForTables});
    QCOMPARE(again.ui()->Label6->text(), QStringLiteral("Birim Ücret   :  1.000.000 TL"));
    QVERIFY(!again.panel()->bitis->isEnabled());
}

void TestStartup::tableCount_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QStringList>("infos");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("3") << "3"
                       << "Masa" << QStringList{"Masa 1", "Masa 2", "Masa 3"} << QStringList()
                       << QStringList();
    QTest::newRow("0") << "0"
                       << "Masa" << QStringList() << QStringList{kAskForTables} << QStringList();
    QTest::newRow("00") << "00"
                        << "Masa" << QStringList() << QStringList() << QStringList();
    QTest::newRow("-2") << "-2"
                        << "Masa" << QStringList() << QStringList() << QStringList();
    QTest::newRow("abc") << "abc"
                         << "Masa" << QStringList() << QStringList()
                         << QStringList{"'abc' is not a valid integer value"};
    // Only a hand-edited register holds more than 80: the first 80 are listed, at once.
    QStringList eighty;
    for (int k = 1; k <= 80; ++k)
        eighty << QStringLiteral("Masa %1").arg(k);
    for (const char *count : {"81", "2147483647"})
        QTest::newRow(count)
            << count << "Masa" << eighty
            << QStringList{QStringLiteral("Masa sayısı %1 olamaz; en fazla 80 masa listelendi.")
                               .arg(count)}
            << QStringList();
    QTest::newRow("turkish prefix")
        << "2" << QStringLiteral("Bilardo Çığ")
        << QStringList{QStringLiteral("Bilardo Çığ 1"), QStringLiteral("Bilardo Çığ 2")}
        << QStringList() << QStringList();
}

void TestStartup::firstStartMakesMissingParents()
{
    // A new account has no ~/.local/share yet.
    TestEnvironment env;
    const Paths paths(env.root() + QStringLiteral("/home/.local/share/Kelvora"));
    Forms forms = createForms(paths);
    QVERIFY(env.messages().errors.isEmpty());
    QCOMPARE(TestEnvironment::readBytes(paths.settingsFile()).size(), 45);
    QCOMPARE(TestEnvironment::readBytes(paths.registerFile()).size(), 1119);
    QVERIFY(QFileInfo(paths.extrasDir()).isDir());
}

void TestStartup::missingExtrasDirectoryIsMade()
{
    Desk desk;
    desk.prepare(1, {}, {}, {"Çay", "15"});
    QVERIFY(QDir(desk.paths.extrasDir()).removeRecursively());
    desk.start();
    QVERIFY(QFileInfo(desk.paths.extrasDir()).isDir());
    desk.select(0);
    ModalDriver driver(desk.forms.Form5.get(), {[&desk] { desk.form()->bookExtra(0); }});
    desk.run([&] { desk.form()->ListBox4DblClick(); });
    QVERIFY(desk.env.messages().all().isEmpty());
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")), (QStringList{"Çay", "15"}));
}

void TestStartup::unreadableStoreIsNeverSavedOver_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("thing");
    for (const char *store : {"settings", "register", "catalogue"})
        for (const char *thing : {"fifo", "directory"})
            QTest::addRow("%s is a %s", store, thing) << store << thing;
}

void TestStartup::unreadableStoreIsNeverSavedOver()
{
    // Start-up says it cannot read the file and goes on; the program stays usable, and the
    // save that would replace the unread file is refused.
    QFETCH(QString, store);
    QFETCH(QString, thing);
    FakeTray tray;
    Desk desk;
    desk.prepare(2, {}, {}, {"Çay", "15"});
    const QString path = store == "settings"   ? desk.paths.settingsFile()
                         : store == "register" ? desk.paths.registerFile()
                                               : desk.paths.catalogueFile();
    QVERIFY(QFile::remove(path));
    if (thing == "fifo")
        QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
    else
        QVERIFY(QDir().mkdir(path));
    QElapsedTimer started;
    started.start();
    desk.forms = createForms(desk.paths, &tray);
    QVERIFY(started.elapsed() < 2000);
    const QString native = QDir::toNativeSeparators(path);
    QCOMPARE(desk.env.messages().errors, QStringList{"Cannot open file " + native});
    QVERIFY(desk.form()->a1->Visible());
    desk.env.messages().clear();

    TForm3 *settings = desk.forms.Form3.get();
    ModalDriver driver(settings, {[&] {
                                      if (store == "settings") {
                                          settings->findChild<QLineEdit *>("birim")->setText("5");
                                          settings->SpeedButton1Click();
                                      } else if (store == "catalogue") {
                                          settings->findChild<QLineEdit *>("fiyati")->setText("5");
                                          settings->SpeedButton3Click();
                                      }
                                  },
                                  [settings] { settings->reject(); }});
    desk.run([&] { desk.form()->Seenekler1Click(); });
    QVERIFY(driver.sawOpen); // the settings window opens whatever the files hold
    if (store == "register") {
        desk.ui()->ListBox2->addItem("Masa 1"); // the register's count is unknown
        desk.select(0);
        desk.run([&] { desk.form()->ListBox2DblClick(); });
    }
    const QString refused = native + QStringLiteral(" okunamadığı için üzerine kaydedilmedi!");
    QVERIFY2(desk.env.messages().errors.contains(refused),
             qPrintable(desk.env.messages().errors.join('|')));
    QCOMPARE(files::kind(path), files::Kind::Other);
}

void TestStartup::tableCount()
{
    QFETCH(QString, count);
    QFETCH(QString, prefix);
    QFETCH(QStringList, tables);
    QFETCH(QStringList, infos);
    QFETCH(QStringList, errors);
    Desk desk;
    desk.prepare(0, {{SettingsLine::TablePrefix, prefix}}, {{0, count}});
    const QByteArray reg = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    QCOMPARE(items(desk.ui()->ListBox2), tables);
    QCOMPARE(desk.env.messages().infos, infos);
    QCOMPARE(desk.env.messages().errors, errors);
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), reg);
}

void TestStartup::multipleFeeCaption()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, "T"}, {SettingsLine::UnitFee, "abc"}});
    desk.start();
    QCOMPARE(desk.ui()->Label6->text(), QStringLiteral("Birim Ücret   :Çoklu Ücretlendirme!"));
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("0"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("0 TL"));
    QVERIFY(desk.env.messages().errors.isEmpty());
    QCOMPARE(desk.ui()->ListBox2->count(), 2);
}

void TestStartup::singleFeeCaptionAndEndTime()
{
    Desk desk;
    desk.prepare(1, {{SettingsLine::UnitFee, "2500000"}, {SettingsLine::EndTimeFollowsClock, "t"}});
    desk.start();
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("2500000"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("2.500.000 TL"));
    QCOMPARE(desk.ui()->Label6->text(), QStringLiteral("Birim Ücret   :  2.500.000 TL"));
    QVERIFY(desk.panel()->bitis->isEnabled()); // "t" is not "T"
}

void TestStartup::failingStepDoesNotStopTheOthers_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("tables");
    QTest::newRow("unit fee 1.000") << SettingsLine::UnitFee + 100 << "1.000"
                                    << "'1.000' is not a valid integer value" << 3;
    QTest::newRow("unit fee 12a") << SettingsLine::UnitFee + 100 << "12a"
                                  << "'12a' is not a valid integer value" << 3;
    QTest::newRow("count abc") << int(RegisterLine::TableCount) << "abc"
                               << "'abc' is not a valid integer value" << 0;
    QTest::newRow("count 12 masa") << int(RegisterLine::TableCount) << "12 masa"
                                   << "'12 masa' is not a valid integer value" << 0;
}

void TestStartup::failingStepDoesNotStopTheOthers()
{
    // Settings lines are given as 100 + line, register lines as themselves.
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(int, tables);
    FakeTray tray;
    Desk desk;
    const QStringList catalogue{"Çay", "15", "Tost", "40"};
    if (line >= 100)
        desk.prepare(3, {{line - 100, text}}, {}, catalogue);
    else
        desk.prepare(3, {}, {{line, text}}, catalogue);
    desk.forms = createForms(desk.paths, &tray);

    QCOMPARE(desk.env.messages().errors, QStringList{error});
    QCOMPARE(desk.ui()->ListBox2->count(), tables);
    // The catalogue is loaded, so no window works on an empty copy of it.
    QCOMPARE(desk.form()->hall().catalogue().lines(), catalogue);
    // The icon is there, so the program can be reached and ended.
    QVERIFY(desk.form()->a1->Visible());
    QVERIFY(desk.form()->iconInNotificationArea());
}

void TestStartup::settingsDeletedKeepsOtherFiles()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::TablePrefix, "Bilardo"}}, {{4, "7.12.2026"}}, {"Çay", "15"});
    QFile::remove(desk.paths.settingsFile());
    const QByteArray reg = TestEnvironment::readBytes(desk.paths.registerFile());
    const QByteArray cat = TestEnvironment::readBytes(desk.paths.catalogueFile());
    desk.start();
    QCOMPARE(TestEnvironment::readBytes(desk.paths.settingsFile()).size(), 45);
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), reg);
    QCOMPARE(TestEnvironment::readBytes(desk.paths.catalogueFile()), cat);
    QVERIFY(desk.env.messages().all().isEmpty());
    QCOMPARE(items(desk.ui()->ListBox2), (QStringList{"Masa 1", "Masa 2"}));
    QCOMPARE(desk.form()->hall().catalogue().lines(), (QStringList{"Çay", "15"}));
}

void TestStartup::registerShorterThanItsCount()
{
    Desk desk;
    desk.prepare(0);
    desk.writeLines(desk.paths.registerFile(), {"3", "7.12.2026", "20:00:00", "1000000"});
    desk.start();
    QCOMPARE(desk.ui()->ListBox2->count(), 3);
    QVERIFY(desk.env.messages().all().isEmpty());
    desk.select(0);
    QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("20:00:00"));
    desk.select(2);
    QCOMPARE(desk.env.messages().errors, QStringList{"List index out of bounds (7)"});
}

void TestStartup::closingHidesOrMinimises_data()
{
    QTest::addColumn<bool>("areaAtStart");
    QTest::addColumn<bool>("areaAtClose");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("icon in the area") << true << true << true;
    QTest::newRow("no notification area") << false << false << false;
    QTest::newRow("area gone since start") << true << false << false;
}

void TestStartup::closingHidesOrMinimises()
{
    QFETCH(bool, areaAtStart);
    QFETCH(bool, areaAtClose);
    QFETCH(bool, hidden);
    FakeTray tray;
    tray.available = areaAtStart;
    Desk desk;
    desk.prepare(1);
    desk.forms = createForms(desk.paths, &tray);
    desk.form()->show();
    tray.available = areaAtClose;
    QVERIFY(!desk.form()->close());
    QCOMPARE(desk.form()->isHidden(), hidden);
    QCOMPARE(desk.form()->isMinimized(), !hidden);
    // Without the icon "Ayarlar" is the way to end the program.
    const QList<QAction *> items = desk.ui()->Ayarlar1->actions();
    QCOMPARE(items.at(2)->isVisible(), !hidden);
    desk.form()->a1DblClick();
    QVERIFY(desk.form()->isVisible());
    QVERIFY(!desk.form()->isMinimized());
}

void TestStartup::exitEndsTheProgram()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    desk.form()->show();
    bool quit = false;
    connect(qApp, &QCoreApplication::aboutToQuit, this, [&] { quit = true; });
    QTimer::singleShot(0, desk.form(), [&] { desk.form()->k1Click(); });
    QTimer::singleShot(2000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(quit);
    QVERIFY(desk.panel()->CheckBox2->isChecked());
    QVERIFY(desk.form()->isHidden());
}

void TestStartup::fallbackMenuOffersExit()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    const QList<QAction *> items = desk.ui()->Ayarlar1->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items.at(0)->text(), QStringLiteral("&Seçenekler"));
    QVERIFY(items.at(1)->isSeparator() && items.at(1)->isVisible());
    QCOMPARE(items.at(2)->text(), QStringLiteral("Çıkış"));
    QVERIFY(items.at(2)->isVisible());
    const QList<QAction *> about = desk.ui()->Hakknda2->actions();
    QCOMPARE(about.size(), 3);
    QCOMPARE(about.at(0)->text(), QStringLiteral("&Program Hakkında"));
    QCOMPARE(about.at(2)->text(), QStringLiteral("İ&leriki Sürümde Olacaklar"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
