#include "deskfixture.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>

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
    void multipleFeeCaption();
    void singleFeeCaptionAndEndTime();
    void badUnitFeeStopsStartupButOpensWindow();
    void settingsDeletedKeepsOtherFiles();
    void registerShorterThanItsCount();
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
    QVERIFY(desk.ui()->bitis->isEnabled());
    QCOMPARE(desk.form()->ListBox1.lines(), defaultSettings());

    // The second start reads what the first wrote and asks again for the count.
    Desk again;
    QDir().rename(desk.env.dataDir(), again.env.dataDir());
    again.start();
    QCOMPARE(again.env.messages().infos, QStringList{kAskForTables});
    QCOMPARE(again.ui()->Label6->text(), QStringLiteral("Birim Ücret   :  1.000.000 TL"));
    QVERIFY(!again.ui()->bitis->isEnabled());
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
    QTest::newRow("turkish prefix")
        << "2" << QStringLiteral("Bilardo Çığ")
        << QStringList{QStringLiteral("Bilardo Çığ 1"), QStringLiteral("Bilardo Çığ 2")}
        << QStringList() << QStringList();
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
    QVERIFY(desk.ui()->bitis->isEnabled()); // "t" is not "T"
}

void TestStartup::badUnitFeeStopsStartupButOpensWindow()
{
    Desk desk;
    desk.prepare(3, {{SettingsLine::UnitFee, "1.000"}});
    QFile::remove(desk.paths.catalogueFile());
    desk.start();
    QCOMPARE(desk.env.messages().errors, QStringList{"'1.000' is not a valid integer value"});
    // The steps after the failing one are not done.
    QCOMPARE(desk.ui()->ListBox2->count(), 0);
    QVERIFY(!QFileInfo::exists(desk.paths.catalogueFile()));
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
    QCOMPARE(desk.form()->ListBox5.lines(), (QStringList{"Çay", "15"}));
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

void TestStartup::closingHidesOrMinimises()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    desk.form()->setTrayAvailable(true);
    desk.form()->show();
    QVERIFY(!desk.form()->close());
    QVERIFY(desk.form()->isHidden());
    desk.form()->a1DblClick();
    QVERIFY(desk.form()->isVisible());

    desk.form()->setTrayAvailable(false);
    QVERIFY(!desk.form()->close());
    QVERIFY(desk.form()->isVisible());
    QVERIFY(desk.form()->isMinimized());
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
    QVERIFY(desk.ui()->CheckBox2->isChecked());
    QVERIFY(desk.form()->isHidden());
}

void TestStartup::fallbackMenuOffersExit()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    const QList<QAction *> items = desk.ui()->Ayarlar1->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items.at(0)->text(), QStringLiteral("Seçenekler"));
    QVERIFY(items.at(1)->isSeparator() && items.at(1)->isVisible());
    QCOMPARE(items.at(2)->text(), QStringLiteral("Çıkış"));
    QVERIFY(items.at(2)->isVisible());
    desk.form()->setTrayAvailable(true);
    QVERIFY(!items.at(1)->isVisible() && !items.at(2)->isVisible());
    const QList<QAction *> about = desk.ui()->Hakknda2->actions();
    QCOMPARE(about.size(), 3);
    QCOMPARE(about.at(0)->text(), QStringLiteral("Program Hakkında"));
    QCOMPARE(about.at(2)->text(), QStringLiteral("İleriki Sürümde Olacaklar"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
