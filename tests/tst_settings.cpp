// The settings window and the fee entry window, driven through their controls.
#include "ayarlar.h"
#include "feecaption.h"
#include "hall.h"
#include "kindspage.h"
#include "layout.h"
#include "names.h"
#include "recordlist.h"
#include "tablesfile.h"
#include "tablespage.h"
#include "testsupport.h"
#include "ucretgirisi.h"
#include "umEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using kv::RecordList;

namespace {

// The hall the settings window works on, and what the main window shows of it. The test's
// setup edits the lists below; they are stored and read back by the hall as a start reads them
// when the window is opened.
class FakeMain : public QObject
{
public:
    explicit FakeMain(const QString &root) : hall(kv::Paths(root)) {}

    const kv::Paths &paths() const { return hall.paths(); }
    void sync()
    {
        if (!hall.ledger().isOpen())
            hall.ledger().open(paths().ledgerFile(), kv::ledger::Ledger::Check::Now);
        QObject::disconnect(&hall, nullptr, this, nullptr);
        settings.save(paths().settingsFile());
        reg.save(paths().registerFile());
        catalogue.save(paths().catalogueFile());
        // A start shows what cannot be read, and goes on.
        for (const auto &load : std::initializer_list<std::function<void()>>{
                 [this] { hall.loadSettings(); }, [this] { hall.loadRegister(); },
                 [this] { hall.loadCatalogue(); }, [this] { hall.loadExtras(); }}) {
            try {
                load();
            } catch (const kv::RuntimeError &) {
            }
        }
        showTables();
        endTimeEnabled = !hall.endTimeFollowsClock();
        connect(&hall, &kv::hall::Hall::settingsChanged, this, [this] {
            endTimeEnabled = !hall.endTimeFollowsClock();
            caption = hall.multipleFees() ? kv::multipleFeesCaption()
                                          : kv::unitFeeCaption(kv::strToInt(hall.settings().at(0)));
            ++feeRefreshes;
        });
        connect(&hall, &kv::hall::Hall::tablesChanged, this, [this] { showTables(); });
        connect(&hall, &kv::hall::Hall::accountsCleared, this, [this] { ++resets; });
        connect(&hall, &kv::hall::Hall::catalogueChanged, this, [this] { ++reloads; });
    }
    // The lists as the hall holds them now.
    void takeBack()
    {
        settings = hall.settings();
        reg = hall.registerLines();
        catalogue = hall.catalogue();
    }
    void showTables()
    {
        tables.clear();
        tables.addItems(hall.tableNames());
    }

    kv::hall::Hall hall;
    RecordList settings, reg, catalogue;
    QListWidget tables;
    bool endTimeEnabled = true;
    QString caption;
    int resets = 0;
    int reloads = 0;
    int feeRefreshes = 0;
};

QStringList items(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QByteArray bytes(const QStringList &lines)
{
    return RecordList::toBytes(lines);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openWithDefaults();
    void minimumChargeGuard_data();
    void minimumChargeGuard();
    void minimumChargeKeptWhileOff();
    void saveInBothFeeModes();
    void emptyFeeListSwitchesOffAtSave();
    void emptyBoxesStopSave_data();
    void emptyBoxesStopSave();
    void removingFees();
    void enterClosesWithoutSaving_data();
    void enterClosesWithoutSaving();
    void endTimeFlag_data();
    void endTimeFlag();

    void createTables_data();
    void createTables();
    void lowerAndRaiseKeepsAccounts();
    void tablesOneAtATime();
    void kindsAndTablesEdited();
    void clearRecords();
    void refusedTableActionsChangeNothing_data();
    void refusedTableActionsChangeNothing();

    void feeEntryFormatsAsTyped();
    void feeEntryFromMenu();
    void feeEntryRefusesNonDigits_data();
    void feeEntryRefusesNonDigits();

    void extrasPriceList();
    void opensWhateverTheFilesHold_data();
    void opensWhateverTheFilesHold();
    void shortRegisterIsPadded_data();
    void shortRegisterIsPadded();
    void refusedExtraChangesNothing_data();
    void refusedExtraChangesNothing();
    void typedSeparatorAsksBeforeSaving_data();
    void typedSeparatorAsksBeforeSaving();
    void ctrlClickLoadsOnce();

private:
    template <class T> T *get(const char *name)
    {
        T *w = form3->findChild<T *>(QLatin1String(name));
        Q_ASSERT(w);
        return w;
    }
    // Controls of the fee entry window.
    template <class T> T *get6(const char *name)
    {
        T *w = form6->findChild<T *>(QLatin1String(name));
        Q_ASSERT(w);
        return w;
    }
    // Opens the settings window from the menu, runs the action while it is shown and closes
    // it, whatever the action did.
    void whileOpen(const std::function<void()> &action);
    void click(const char *button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    void click6(const char *button)
    {
        QTest::mouseClick(get6<QPushButton>(button), Qt::LeftButton);
    }
    void writeRegister(const QStringList &lines);
    QByteArrayList snapshot() const;
    kv::messages::Recorder &msgs() { return env->messages(); }

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<FakeMain> main;
    TForm3 *form3 = nullptr;
    TForm6 *form6 = nullptr;
};

void TestSettings::init()
{
    env = std::make_unique<TestEnvironment>();
    main = std::make_unique<FakeMain>(env->dataDir());
    QVERIFY(QDir().mkpath(main->paths().extrasDir()));
    main->settings.assign(kv::defaultSettings());
    main->settings.save(main->paths().settingsFile());
    writeRegister(kv::defaultRegister());
    main->catalogue.save(main->paths().catalogueFile());

    form3 = new TForm3(main->hall, nullptr);
    // What the main window's cash desk does with no ledger to ask.
    form3->createTables = [this](const QString &count, const QString &prefix) {
        main->hall.createTables(count, prefix);
        return true;
    };
    form3->wipeAccounts = [this] {
        main->hall.wipeAccounts();
        return true;
    };
    form6 = new TForm6(nullptr);
    form6->setFeeList(form3->feeList());
    form3->setFeeEntryWindow(form6);
}

void TestSettings::cleanup()
{
    delete form3;
    delete form6;
    main.reset();
    env.reset();
}

void TestSettings::whileOpen(const std::function<void()> &action)
{
    bool ran = false;
    main->sync();
    QTimer::singleShot(0, form3, [&] {
        ran = true;
        action();
        if (form3->isVisible())
            form3->reject();
    });
    form3->openFromMainMenu();
    main->takeBack();
    QVERIFY(ran);
    QVERIFY(!form3->isVisible());
}

void TestSettings::writeRegister(const QStringList &lines)
{
    main->reg.assign(lines);
    main->reg.save(main->paths().registerFile());
}

// Every store the table buttons may touch, byte for byte.
QByteArrayList TestSettings::snapshot() const
{
    const kv::Paths &p = main->paths();
    return {bytes(items(&main->tables)),
            bytes(QDir(p.extrasDir()).entryList(QDir::Files)),
            TestEnvironment::readBytes(p.tableExtrasFile("Masa 2")),
            TestEnvironment::readBytes(p.settingsFile()),
            TestEnvironment::readBytes(p.registerFile()),
            bytes(main->reg.lines()),
            bytes(main->settings.lines())};
}

void TestSettings::openWithDefaults()
{
    main->reg.set(0, QStringLiteral("12"));
    main->catalogue.assign({"Çay", "5000", "Kola", "15000", "Tost"});
    form3->findChild<QTabWidget *>("PageControl1")->setCurrentIndex(1);

    whileOpen([&] {
        QCOMPARE(get<TumNumberEdit>("birim")->text(), QStringLiteral("1000000"));
        QCOMPARE(get<QLineEdit>("Edit1")->text(), QStringLiteral("Masa"));
        QVERIFY(get<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(get<QCheckBox>("CheckBox1")->isHidden());
        QVERIFY(get<QLabel>("Label11")->isHidden());
        QVERIFY(!main->endTimeEnabled);
        QVERIFY(!get<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(!get<QCheckBox>("CheckBox3")->isChecked());
        QVERIFY(!get<TumNumberEdit>("enaz")->isEnabled());
        QCOMPARE(get<TumNumberEdit>("enaz")->text(), QStringLiteral("0"));
        QCOMPARE(get<QListWidget>("ListBox2")->count(), 0);
        QVERIFY(!get<QListWidget>("ListBox2")->isEnabled());
        QCOMPARE(get<TumNumberEdit>("masasayisi")->text(), QStringLiteral("12"));
        QCOMPARE(get<QTabWidget>("PageControl1")->currentIndex(), 0);
        QCOMPARE(get<QPushButton>("BitBtn1")->isDefault(), true);
        // A trailing name without a price is listed too.
        QCOMPARE(items(get<QListWidget>("ListBox4")), QStringList({"Çay", "Kola", "Tost"}));
        QCOMPARE(form3->catalogueCopy().lines(), main->catalogue.lines());
        QCOMPARE(get<QLineEdit>("Edit2")->text(), QStringLiteral("--"));
        QCOMPARE(get<TumNumberEdit>("fiyati")->text(), QStringLiteral("0"));
    });
    QCOMPARE(form3->windowTitle(), QStringLiteral("Ayarlar"));
    QCOMPARE(msgs().all(), QStringList());
    QCOMPARE(main->reloads, 1);
}

void TestSettings::minimumChargeGuard_data()
{
    QTest::addColumn<QString>("unitFee");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("kept");

    QTest::newRow("equal") << "1000000"
                           << "1000000" << 0 << "1000000";
    QTest::newRow("above, unit fee over 250000") << "1000000"
                                                 << "2000000" << 1 << "250000";
    // Never above the unit fee: a small unit fee is the most the minimum can be.
    QTest::newRow("above, unit fee under 250000") << "100000"
                                                  << "200000" << 1 << "100000";
    QTest::newRow("above, tiny unit fee") << "120"
                                          << "150" << 1 << "120";
}

void TestSettings::minimumChargeGuard()
{
    QFETCH(QString, unitFee);
    QFETCH(QString, typed);
    QFETCH(int, messages);
    QFETCH(QString, kept);
    main->settings.set(0, unitFee);
    main->settings.set(5, QStringLiteral("T"));

    QStringList shown;
    whileOpen([&] {
        TumNumberEdit *enaz = get<TumNumberEdit>("enaz");
        QVERIFY(enaz->isEnabled());
        enaz->setFocus();
        enaz->selectAll();
        QTest::keyClicks(enaz, typed);
        shown = msgs().infos;
        QCOMPARE(enaz->text(), kept);
        click("SpeedButton1");
    });
    QStringList expected;
    for (int i = 0; i < messages; ++i)
        expected << QStringLiteral("Girilen alt limit Birim ücretten daha büyük olamaz!");
    QCOMPARE(shown, expected);
    RecordList file;
    file.load(main->paths().settingsFile());
    QCOMPARE(file.at(4), kept);
    QCOMPARE(file.at(5), QStringLiteral("T"));
}

void TestSettings::minimumChargeKeptWhileOff()
{
    main->settings.set(4, QStringLiteral("300000"));
    main->settings.set(5, QStringLiteral("T"));
    whileOpen([&] {
        TumNumberEdit *enaz = get<TumNumberEdit>("enaz");
        QLabel *label = get<QLabel>("Label12");
        QCOMPARE(enaz->text(), QStringLiteral("300000"));
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!get<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(!enaz->isEnabled());
        QCOMPARE(enaz->text(), QStringLiteral("0"));
        click("SpeedButton1");
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(get<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(enaz->isEnabled());
        QCOMPARE(enaz->text(), QStringLiteral("300000"));
    });
    RecordList file;
    file.load(main->paths().settingsFile());
    QCOMPARE(file.at(4), QStringLiteral("300000"));
    QCOMPARE(file.at(5), QStringLiteral("F"));
    QCOMPARE(msgs().infos, QStringList({"Ayarlarınız Kaydedilmiştir!"}));
    // The box the opening does not set keeps the "0" of the switch.
    main->settings.set(5, QStringLiteral("F"));
    whileOpen([&] { QCOMPARE(get<TumNumberEdit>("enaz")->text(), QStringLiteral("0")); });
}

void TestSettings::saveInBothFeeModes()
{
    main->settings.set(6, QStringLiteral("T"));
    RecordList({"250000", "1000000", "75000"}).save(main->paths().feeListFile());
    whileOpen([&] {
        QListWidget *fees = get<QListWidget>("ListBox2");
        QVERIFY(get<QCheckBox>("CheckBox3")->isChecked());
        QVERIFY(fees->isEnabled());
        // Text order, not numeric order.
        QCOMPARE(items(fees), QStringList({"1000000", "250000", "75000"}));
        click("SpeedButton1");
        QCOMPARE(main->caption, QStringLiteral("Birim Ücret   :Çoklu Ücretlendirme!"));
        QCOMPARE(TestEnvironment::readBytes(main->paths().feeListFile()),
                 QByteArray("1000000\r\n250000\r\n75000\r\n"));
        QCOMPARE(main->settings.at(6), QStringLiteral("T"));

        QTest::mouseClick(get<QCheckBox>("CheckBox3"), Qt::LeftButton);
        QCOMPARE(fees->count(), 0);
        QVERIFY(!fees->isEnabled());
        get<TumNumberEdit>("birim")->setText(QStringLiteral("1500000"));
        click("SpeedButton1");
        QCOMPARE(main->caption, QStringLiteral("Birim Ücret   :  1.500.000 TL"));
    });
    RecordList file;
    file.load(main->paths().settingsFile());
    QCOMPARE(file.at(0), QStringLiteral("1500000"));
    QCOMPARE(file.at(6), QStringLiteral("F"));
    QCOMPARE(file.count(), 16);
    // Switching multiple fees off leaves the fee list file as it was.
    QCOMPARE(TestEnvironment::readBytes(main->paths().feeListFile()),
             QByteArray("1000000\r\n250000\r\n75000\r\n"));
}

void TestSettings::emptyFeeListSwitchesOffAtSave()
{
    whileOpen([&] {
        QTest::mouseClick(get<QCheckBox>("CheckBox3"), Qt::LeftButton);
        QVERIFY(get<QListWidget>("ListBox2")->isEnabled());
        click("SpeedButton1");
        QVERIFY(!get<QCheckBox>("CheckBox3")->isChecked());
        QVERIFY(!get<QListWidget>("ListBox2")->isEnabled());
    });
    RecordList file;
    file.load(main->paths().settingsFile());
    QCOMPARE(file.at(6), QStringLiteral("F"));
    QVERIFY(!kv::files::exists(main->paths().feeListFile()));
    QCOMPARE(main->caption, QStringLiteral("Birim Ücret   :  1.000.000 TL"));
}

void TestSettings::emptyBoxesStopSave_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("multiple");
    QTest::addColumn<QString>("message");
    QTest::newRow("unit fee, single fee") << "birim" << false << "Birim ücreti girin!";
    QTest::newRow("unit fee, multiple fees") << "birim" << true << "Birim ücreti girin!";
    QTest::newRow("minimum charge") << "enaz" << false << "En az ücreti girin!";
}

void TestSettings::emptyBoxesStopSave()
{
    QFETCH(QString, box);
    QFETCH(bool, multiple);
    QFETCH(QString, message);
    main->settings.set(5, QStringLiteral("T"));
    main->settings.set(6, kv::flagText(multiple));
    main->settings.save(main->paths().settingsFile());
    RecordList({"250000"}).save(main->paths().feeListFile());
    const RecordList memory = main->settings;
    const QByteArray before = TestEnvironment::readBytes(main->paths().settingsFile());
    whileOpen([&] {
        get<TumNumberEdit>(box.toLatin1().constData())->setText(QString());
        get<QCheckBox>("CheckBox3")->setChecked(!multiple); // a change that must not apply
        click("SpeedButton1");
    });
    QCOMPARE(msgs().infos, QStringList{message});
    QCOMPARE(msgs().errors, QStringList());
    QCOMPARE(TestEnvironment::readBytes(main->paths().settingsFile()), before);
    QCOMPARE(main->settings.lines(), memory.lines());
    QCOMPARE(main->caption, QString());
    QCOMPARE(main->feeRefreshes, 0);
}

void TestSettings::removingFees()
{
    main->settings.set(6, QStringLiteral("T"));
    RecordList({"250000", "1000000"}).save(main->paths().feeListFile());
    const QByteArray feeFile = TestEnvironment::readBytes(main->paths().feeListFile());
    whileOpen([&] {
        QListWidget *fees = get<QListWidget>("ListBox2");
        QAction *remove = form3->findChild<QAction *>("ar1");
        QVERIFY(remove);
        remove->trigger();
        QCOMPARE(msgs().infos, QStringList({"Çıkarılacak Ücreti seçin!"}));
        QCOMPARE(fees->count(), 2);
        fees->setCurrentRow(1);
        remove->trigger();
        QCOMPARE(items(fees), QStringList({"1000000"}));
        QVERIFY(get<QCheckBox>("CheckBox3")->isChecked());
        // The removal leaves nothing selected: a second press asks again.
        remove->trigger();
        QCOMPARE(items(fees), QStringList({"1000000"}));
        QCOMPARE(msgs().infos.size(), 2);
        fees->setCurrentRow(0);
        remove->trigger();
        QCOMPARE(fees->count(), 0);
        QVERIFY(!get<QCheckBox>("CheckBox3")->isChecked());
        QVERIFY(!fees->isEnabled());
    });
    QCOMPARE(msgs().infos.size(), 2);
    QCOMPARE(TestEnvironment::readBytes(main->paths().feeListFile()), feeFile);
}

void TestSettings::enterClosesWithoutSaving_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("birim") << "birim";
    QTest::newRow("masasayisi") << "masasayisi";
    QTest::newRow("Edit1") << "Edit1";
}

void TestSettings::enterClosesWithoutSaving()
{
    QFETCH(QString, box);
    const QByteArray before = TestEnvironment::readBytes(main->paths().settingsFile());
    bool closed = false;
    whileOpen([&] {
        get<TumNumberEdit>("birim")->setText(QStringLiteral("5"));
        QLineEdit *edit = get<QLineEdit>(box.toLatin1().constData());
        form3->activateWindow();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        closed = !form3->isVisible();
    });
    QVERIFY(closed);
    QCOMPARE(form3->result(), int(QDialog::Rejected));
    QCOMPARE(TestEnvironment::readBytes(main->paths().settingsFile()), before);
    QCOMPARE(main->settings.at(0), QStringLiteral("1000000"));
    QCOMPARE(main->reloads, 1);
}

void TestSettings::endTimeFlag_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("saved");
    QTest::newRow("T") << "T"
                       << "T";
    QTest::newRow("F") << "F"
                       << "F";
    QTest::newRow("lower-case t") << "t"
                                  << "F";
    QTest::newRow("True") << "True"
                          << "F";
    QTest::newRow("empty") << ""
                           << "F";
    // The box unticked, but the file cannot be written: the main window keeps the old state.
    QTest::newRow("T, the save fails") << "T"
                                       << "T";
}

void TestSettings::endTimeFlag()
{
    QFETCH(QString, stored);
    QFETCH(QString, saved);
    const bool failing = QByteArray(QTest::currentDataTag()).contains("fails");
    main->settings.set(1, stored);
    main->endTimeEnabled = stored == QLatin1String("T");
    whileOpen([&] {
        QCOMPARE(main->endTimeEnabled, saved == QLatin1String("F"));
        if (failing) {
            get<QCheckBox>("CheckBox1")->setChecked(false);
            const QString path = main->paths().settingsFile();
            QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        }
        click("SpeedButton1");
    });
    if (failing) {
        QCOMPARE(msgs().errors.size(), 1);
        QCOMPARE(main->endTimeEnabled, false);
        return;
    }
    RecordList file;
    file.load(main->paths().settingsFile());
    QCOMPARE(file.at(1), saved);
    QCOMPARE(main->endTimeEnabled, saved == QLatin1String("F"));
}

void TestSettings::createTables_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("3 Masa") << "3"
                            << "Masa" << QStringList{"Masa 1", "Masa 2", "Masa 3"};
    QTest::newRow("empty prefix") << "2"
                                  << "" << QStringList{" 1", " 2"};
    QTest::newRow("Turkish prefix") << "1"
                                    << "Bilardo Şöğ" << QStringList{"Bilardo Şöğ 1"};
    QTest::newRow("none") << "0"
                          << "Masa" << QStringList{};
}

void TestSettings::createTables()
{
    QFETCH(QString, count);
    QFETCH(QString, prefix);
    QFETCH(QStringList, names);
    const kv::Paths &p = main->paths();
    main->tables.addItems({"Eski 1", "Eski 2"});
    TestEnvironment::writeBytes(p.tableExtrasFile("Eski 1"), "Çay\r\n5000\r\n");
    TestEnvironment::writeBytes(p.tableExtrasFile("Masa 1"), "");
    QVERIFY(QDir().mkpath(p.extrasDir() + "/sub"));
    // Accounts go with the positions and survive.
    main->reg.set(1, QStringLiteral("7.12.2026"));

    msgs().answers = {true};
    whileOpen([&] {
        get<TumNumberEdit>("masasayisi")->setText(count);
        get<QLineEdit>("Edit1")->setText(prefix);
        click("SpeedButton2");
    });
    QCOMPARE(items(&main->tables), names);
    QCOMPARE(msgs().questions,
             QStringList({"Tüm masa extraları silinecek. Masalar yeniden oluşturulsun mu?"}));
    QCOMPARE(msgs().infos, QStringList({"Masalar Oluşturuldu!"}));
    QCOMPARE(msgs().errors, QStringList());
    RecordList reg, settings;
    reg.load(p.registerFile());
    settings.load(p.settingsFile());
    QCOMPARE(reg.count(), kv::kRegisterLength);
    QCOMPARE(reg.at(0), count);
    QCOMPARE(reg.at(1), QStringLiteral("7.12.2026"));
    QCOMPARE(settings.at(3), prefix);
    QCOMPARE(settings.count(), 16);
    QCOMPARE(QDir(p.extrasDir()).entryList(QDir::Files), QStringList());
    QVERIFY(QDir(p.extrasDir() + "/sub").exists());
    QCOMPARE(main->resets, 1);
}

void TestSettings::lowerAndRaiseKeepsAccounts()
{
    QStringList reg = kv::defaultRegister();
    reg[0] = QStringLiteral("8");
    for (int table = 5; table < 8; ++table) {
        reg[kv::RegisterLine::date(table)] = QStringLiteral("7.12.2026");
        reg[kv::RegisterLine::startTime(table)] = QStringLiteral("2%1:00:00").arg(table - 5);
        reg[kv::RegisterLine::fee(table)] = QStringLiteral("100000%1").arg(table);
    }
    writeRegister(reg);
    msgs().defaultAnswer = true;
    whileOpen([&] {
        TumNumberEdit *count = get<TumNumberEdit>("masasayisi");
        QCOMPARE(count->text(), QStringLiteral("8"));
        count->setText(QStringLiteral("5"));
        click("SpeedButton2");
        QCOMPARE(main->tables.count(), 5);
        QCOMPARE(main->hall.registerLines().lines().mid(1), reg.mid(1));
        count->setText(QStringLiteral("8"));
        click("SpeedButton2");
    });
    QCOMPARE(items(&main->tables).last(), QStringLiteral("Masa 8"));
    QCOMPARE(TestEnvironment::readBytes(main->paths().registerFile()), bytes(reg));
}

// "Masalar": a table added after the others and the last one removed, from the keyboard.
void TestSettings::tablesOneAtATime()
{
    QStringList reg = kv::defaultRegister();
    reg[0] = QStringLiteral("2");
    writeRegister(reg);
    whileOpen([&] {
        auto *page = form3->findChild<TablesPage *>();
        get<QTabWidget>("PageControl1")->setCurrentWidget(page);
        QCOMPARE(items(page->tableList()), (QStringList{"Masa 1", "Masa 2"}));
        // Through the window, as a key pressed: the way a shortcut is found.
        QTRY_VERIFY(form3->isActiveWindow());
        const auto press = [&](Qt::Key key) {
            QTest::keyClick(form3->windowHandle(), key, Qt::AltModifier);
        };
        press(Qt::Key_K);
        QTRY_COMPARE(items(page->tableList()).last(), QStringLiteral("Masa 3"));
        msgs().answers << true;
        press(Qt::Key_L);
        QTRY_COMPARE(page->tableList()->count(), 2);
        press(Qt::Key_K);
        QTRY_COMPARE(page->tableList()->count(), 3);
    });
    QCOMPARE(msgs().questions, QStringList{"Masa 3 silinsin mi?"});
    reg[0] = QStringLiteral("3"); // nothing else of the register changes
    QCOMPARE(TestEnvironment::readBytes(main->paths().registerFile()), bytes(reg));
    QCOMPARE(items(&main->tables).last(), QStringLiteral("Masa 3"));
}

// Masa Türleri refuses overlapping bands naming both and keeps the edits; fixed, they are
// saved; Masalar renames a table and gives it the kind through its controls.
void TestSettings::kindsAndTablesEdited()
{
    QStringList reg = kv::defaultRegister();
    reg[0] = QStringLiteral("2");
    writeRegister(reg);
    whileOpen([&] {
        get<QTabWidget>("PageControl1")->setCurrentWidget(form3->findChild<KindsPage *>());
        click("addKind");
        QTest::keyClicks(get<QLineEdit>("kindName"), "Bilardo");
        get<QSpinBox>("kindFee")->setValue(250);
        click("addBand");
        get<QSpinBox>("bandFee")->setValue(120);
        click("addBand");
        get<QTimeEdit>("bandFrom")->setTime(QTime(16, 0));
        get<QTimeEdit>("bandTo")->setTime(QTime(21, 0));
        get<QSpinBox>("bandFee")->setValue(200);
        click("saveKinds");
        QCOMPARE(msgs().errors, QStringList{"Bilardo: Zaman dilimleri çakışıyor: Pzt–Cum "
                                            "10:00–17:00 ve Pzt–Cum 16:00–21:00"});
        QCOMPARE(get<QTableWidget>("bandTable")->rowCount(), 2);
        QCOMPARE(get<QTableWidget>("bandTable")->item(1, 0)->text(),
                 QStringLiteral("Pzt–Cum 16:00–21:00"));
        // Friday and Saturday nights.
        for (const char *day : {"day1", "day2", "day3", "day4"})
            get<QCheckBox>(day)->setChecked(false);
        get<QCheckBox>("day6")->setChecked(true);
        get<QTimeEdit>("bandFrom")->setTime(QTime(20, 0));
        get<QTimeEdit>("bandTo")->setTime(QTime(3, 0));
        click("saveKinds");
        QCOMPARE(msgs().errors.size(), 1);

        auto *tables = form3->findChild<TablesPage *>();
        get<QTabWidget>("PageControl1")->setCurrentWidget(tables);
        tables->tableList()->setCurrentRow(1);
        QTimer::singleShot(0, form3, [] {
            auto *ask = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(ask);
            QCOMPARE(ask->textValue(), QStringLiteral("Masa 2"));
            ask->setTextValue(QStringLiteral("Bahçe"));
            ask->accept();
        });
        click("renameTable");
        QTest::keyClick(get<QComboBox>("tableKind"), Qt::Key_Down);
        QCOMPARE(items(tables->tableList()), (QStringList{"Masa 1", "Bahçe · Bilardo"}));
    });
    QCOMPARE(msgs().errors.size(), 1);
    kv::hall::TablesLayout saved;
    saved.kinds << kv::hall::TableKind{
        "Bilardo",
        250,
        {},
        {{0x1f, QTime(10, 0), QTime(17, 0), 120}, {0x30, QTime(20, 0), QTime(3, 0), 200}}};
    saved.tables = {{"Masa 1", -1}, {"Bahçe", 0}};
    QCOMPARE(kv::hall::readTables(
                 RecordList::fromBytes(TestEnvironment::readBytes(main->paths().tablesFile()))),
             saved);
    QCOMPARE(items(&main->tables), (QStringList{"Masa 1", "Bahçe"}));
}

void TestSettings::clearRecords()
{
    QStringList reg;
    reg << QStringLiteral("80");
    for (int i = 1; i < kv::kRegisterLength; ++i)
        reg << QString::number(i);
    writeRegister(reg);
    for (int k = 1; k <= 80; ++k)
        main->tables.addItem(QStringLiteral("Masa %1").arg(k));
    TestEnvironment::writeBytes(main->paths().tableExtrasFile("Masa 4"), "Kola\r\n15000\r\n");
    const QByteArray settings = TestEnvironment::readBytes(main->paths().settingsFile());

    msgs().answers = {true};
    whileOpen([&] { click("SpeedButton6"); });
    QCOMPARE(msgs().questions,
             QStringList({"Tüm masaların saat, tarih ve ücret kayıtları silinecek. "
                          "Devam edilsin mi?"}));
    QCOMPARE(msgs().infos, QStringList({"Masalara ait saat tarih ve ücret kayıtları sıfırlandı!"}));
    QStringList cleared = kv::defaultRegister();
    cleared[0] = QStringLiteral("80");
    QCOMPARE(TestEnvironment::readBytes(main->paths().registerFile()), bytes(cleared));
    QCOMPARE(main->tables.count(), 80);
    QCOMPARE(main->resets, 1);
    QCOMPARE(TestEnvironment::readBytes(main->paths().settingsFile()), settings);
    QCOMPARE(TestEnvironment::readBytes(main->paths().tableExtrasFile("Masa 4")),
             QByteArray("Kola\r\n15000\r\n"));
}

void TestSettings::refusedTableActionsChangeNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("infos");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<int>("questions");

    const QStringList none;
    // The window says what the name rule says, naming the character.
    const auto badPrefix = [](const QString &prefix) {
        const QString problem = kv::names::problem(prefix, kv::names::NameUse::TablePrefix);
        Q_ASSERT(!problem.isEmpty());
        return QStringList{problem};
    };
    QTest::newRow("create answered Hayır") << "SpeedButton2"
                                           << "4"
                                           << "Salon" << none << none << 1;
    QTest::newRow("clear answered Hayır") << "SpeedButton6"
                                          << "4"
                                          << "Salon" << none << none << 1;
    QTest::newRow("empty count") << "SpeedButton2"
                                 << ""
                                 << "Masa" << none << QStringList{"'' is not a valid integer value"}
                                 << 0;
    const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : forbidden) {
        const QString prefix = QStringLiteral("Ma") + c + QStringLiteral("sa");
        QTest::newRow(qPrintable(QStringLiteral("prefix with %1").arg(c)))
            << "SpeedButton2"
            << "4" << prefix << badPrefix(prefix) << none << 0;
    }
    // A hidden extras file is never deleted; "?" in the file would rename the tables.
    for (const QString prefix : {"../x", ".M", "Ωmega", "Kahve ☕"})
        QTest::newRow(qPrintable("prefix " + prefix))
            << "SpeedButton2"
            << "4" << prefix << badPrefix(prefix) << none << 0;
}

void TestSettings::refusedTableActionsChangeNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, count);
    QFETCH(QString, prefix);
    QFETCH(QStringList, infos);
    QFETCH(QStringList, errors);
    QFETCH(int, questions);
    QStringList reg = kv::defaultRegister();
    reg[0] = QStringLiteral("3");
    reg[4] = QStringLiteral("7.12.2026");
    writeRegister(reg);
    main->tables.addItems({"Masa 1", "Masa 2", "Masa 3"});
    TestEnvironment::writeBytes(main->paths().tableExtrasFile("Masa 2"), "Çay\r\n5000\r\n");
    const QByteArrayList before = snapshot();

    msgs().defaultAnswer = false;
    whileOpen([&] {
        get<TumNumberEdit>("masasayisi")->setText(count);
        get<QLineEdit>("Edit1")->setText(prefix);
        click(button.toLatin1().constData());
    });
    QCOMPARE(msgs().infos, infos);
    QCOMPARE(msgs().errors, errors);
    QCOMPARE(msgs().questions.size(), questions);
    QCOMPARE(snapshot(), before);
    QCOMPARE(main->resets, 0);
}

void TestSettings::feeEntryFormatsAsTyped()
{
    TumEdit *para = get6<TumEdit>("para");
    QLabel *label = get6<QLabel>("Label2");
    QCOMPARE(para->text(), QStringLiteral("1000000"));
    QCOMPARE(label->text(), QStringLiteral("1.000.000"));
    QCOMPARE(para->font().pixelSize(), 16);
    QVERIFY(para->font().bold());
    QVERIFY(form6->windowFlags() & Qt::FramelessWindowHint);

    para->clear();
    QCOMPARE(label->text(), QStringLiteral("1.000.000"));
    QTest::keyClicks(para, "2500000");
    QCOMPARE(label->text(), QStringLiteral("2.500.000TL"));
    // Stray keys never reach the box, and no error box interrupts the typing.
    QTest::keyClicks(para, "x.-5");
    QCOMPARE(para->text(), QStringLiteral("25000005"));
    QCOMPARE(label->text(), QStringLiteral("25.000.005TL"));
    // A paste that is no fee is refused whole.
    QApplication::clipboard()->setText(QStringLiteral("12a"));
    para->selectAll();
    para->paste();
    QCOMPARE(para->text(), QStringLiteral("25000005"));
    QCOMPARE(para->shownHint(),
             QStringLiteral("Tutarlar tam lira olarak, yalnızca rakamla girilir"));
    QCOMPARE(label->text(), QStringLiteral("25.000.005TL"));
    QVERIFY(msgs().errors.isEmpty());
    para->setText(QStringLiteral("0"));
    QCOMPARE(label->text(), QStringLiteral("TL"));
}

void TestSettings::feeEntryFromMenu()
{
    main->settings.set(6, QStringLiteral("T"));
    RecordList({"250000"}).save(main->paths().feeListFile());
    bool stayedOpen = false;
    QString kept;
    whileOpen([&] {
        QAction *add = form3->findChild<QAction *>("Ekle1");
        TumEdit *para = get6<TumEdit>("para");
        // A new fee takes its place in text order.
        QTimer::singleShot(0, form6, [&] {
            para->setText(QStringLiteral("1000000"));
            click6("SpeedButton1");
        });
        add->trigger();
        QCOMPARE(items(form3->feeList()), QStringList({"1000000", "250000"}));
        // The same fee again is refused and the window stays open.
        QTimer::singleShot(0, form6, [&] {
            click6("SpeedButton1");
            stayedOpen = form6->isVisible();
            para->setText(QStringLiteral("777"));
            click6("SpeedButton2");
        });
        add->trigger();
        kept = para->text();
        click("SpeedButton1");
    });
    QVERIFY(stayedOpen);
    QCOMPARE(kept, QStringLiteral("777"));
    QCOMPARE(msgs().infos,
             QStringList({"Ücret daha önce girilmiş!\r\r1000000", "Ayarlarınız Kaydedilmiştir!"}));
    QCOMPARE(TestEnvironment::readBytes(main->paths().feeListFile()),
             QByteArray("1000000\r\n250000\r\n"));
}

void TestSettings::feeEntryRefusesNonDigits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString digitsOnly = QStringLiteral("Ücret yalnızca rakamlardan oluşmalıdır!");
    QTest::newRow("empty") << "" << digitsOnly;
    QTest::newRow("letters") << "12a" << digitsOnly;
    QTest::newRow("negative") << "-5" << digitsOnly;
    QTest::newRow("blank") << " 5" << digitsOnly;
    QTest::newRow("grouped") << "1.000" << digitsOnly;
    QTest::newRow("above range") << "2147483648"
                                 << "Ücret çok büyük! En fazla 2.147.483.647 TL girilebilir.";
    QTest::newRow("largest") << "2147483647" << QString();
    QTest::newRow("zero") << "0" << QString();
}

void TestSettings::feeEntryRefusesNonDigits()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const bool accepted = message.isEmpty();
    bool open = false;
    QTimer::singleShot(0, form6, [&] {
        get6<TumEdit>("para")->setText(typed);
        click6("SpeedButton1");
        open = form6->isVisible();
        if (open)
            click6("SpeedButton2");
    });
    form6->exec();
    QCOMPARE(open, !accepted);
    QCOMPARE(items(form3->feeList()), accepted ? QStringList{typed} : QStringList{});
    QCOMPARE(msgs().infos, accepted ? QStringList() : QStringList{message});
}

void TestSettings::extrasPriceList()
{
    const kv::Paths &p = main->paths();
    whileOpen([&] {
        QListWidget *names = get<QListWidget>("ListBox4");
        QLineEdit *name = get<QLineEdit>("Edit2");
        TumNumberEdit *price = get<TumNumberEdit>("fiyati");
        get<QTabWidget>("PageControl1")->setCurrentIndex(1);

        click("SpeedButton3");
        QCOMPARE(TestEnvironment::readBytes(p.catalogueFile()), QByteArray("--\r\n0\r\n"));
        name->setText(QStringLiteral("Çay"));
        price->setText(QStringLiteral("500000"));
        click("SpeedButton3");
        QCOMPARE(name->text(), QStringLiteral("--"));
        QCOMPARE(price->text(), QStringLiteral("0"));
        name->setText(QStringLiteral("Tost"));
        price->setText(QStringLiteral("1000000"));
        click("SpeedButton3");
        QCOMPARE(items(names), QStringList({"--", "Çay", "Tost"}));
        QCOMPARE(TestEnvironment::readBytes(p.catalogueFile()),
                 QByteArray("--\r\n0\r\n\xc7"
                            "ay\r\n500000\r\nTost\r\n1000000\r\n"));

        click("SpeedButton4");
        QCOMPARE(msgs().infos, QStringList({"İşlem Yapılacak Extra Seçin!"}));

        QTest::mouseClick(names->viewport(), Qt::LeftButton, {},
                          names->visualItemRect(names->item(1)).center());
        QCOMPARE(name->text(), QStringLiteral("Çay"));
        QCOMPARE(price->text(), QStringLiteral("500000"));
        price->setText(QStringLiteral("600000"));
        click("SpeedButton4");
        QCOMPARE(form3->catalogueCopy().lines(),
                 QStringList({"--", "0", "Çay", "600000", "Tost", "1000000"}));
        QCOMPARE(names->currentRow(), 1);

        // Clicking the selected extra again loads it again.
        name->setText(QStringLiteral("x"));
        QTest::mouseClick(names->viewport(), Qt::LeftButton, {},
                          names->visualItemRect(names->item(1)).center());
        QCOMPARE(name->text(), QStringLiteral("Çay"));

        QTest::mouseClick(names->viewport(), Qt::LeftButton, {},
                          names->visualItemRect(names->item(0)).center());
        click("SpeedButton5");
        QCOMPARE(items(names), QStringList({"Çay", "Tost"}));
        QCOMPARE(name->text(), QStringLiteral("--"));
        QCOMPARE(price->text(), QStringLiteral("0"));
        click("SpeedButton5");
        QCOMPARE(msgs().infos.size(), 2);
        QCOMPARE(msgs().infos.last(), QStringLiteral("İşlem Yapılacak Extra Seçin!"));
    });
    QCOMPARE(TestEnvironment::readBytes(p.catalogueFile()),
             QByteArray("\xc7"
                        "ay\r\n600000\r\nTost\r\n1000000\r\n"));
    // Closing hands the catalogue back to the main window.
    QCOMPARE(main->catalogue.lines(), QStringList({"Çay", "600000", "Tost", "1000000"}));
}

void TestSettings::opensWhateverTheFilesHold_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("reg");
    QTest::addColumn<QString>("unitFee");
    QTest::addColumn<QString>("count");
    QStringList s = kv::defaultSettings();
    QStringList r = kv::defaultRegister();
    const auto with = [](QStringList lines, int i, const QString &text) {
        lines[i] = text;
        return lines;
    };
    QTest::newRow("unit fee abc") << with(s, 0, "abc") << r << ""
                                  << "0";
    QTest::newRow("byte-order mark") << with(s, 0, QStringLiteral("ï»¿1000000")) << r << ""
                                     << "0";
    QTest::newRow("short settings") << QStringList{"1000000", "T"} << r << "1000000"
                                    << "0";
    QTest::newRow("empty settings") << QStringList() << r << ""
                                    << "0";
    QTest::newRow("empty register") << s << QStringList() << "1000000"
                                    << "";
    QTest::newRow("count above 80") << s << QStringList{"2147483647"} << "1000000"
                                    << "";
    QTest::newRow("count with text") << s << QStringList{"12 masa"} << "1000000"
                                     << "";
}

void TestSettings::opensWhateverTheFilesHold()
{
    // A hand-edited file never locks the operator out: the window opens and "Kaydet"
    // writes sound lines.
    QFETCH(QStringList, settings);
    QFETCH(QStringList, reg);
    QFETCH(QString, unitFee);
    QFETCH(QString, count);
    main->settings.assign(settings);
    main->reg.assign(reg);
    whileOpen([&] {
        QCOMPARE(get<TumNumberEdit>("birim")->text(), unitFee);
        QCOMPARE(get<TumNumberEdit>("masasayisi")->text(), count);
        get<TumNumberEdit>("birim")->setText(QStringLiteral("1500000"));
        click("SpeedButton1");
    });
    QCOMPARE(msgs().errors, QStringList());
    QCOMPARE(msgs().infos, QStringList{"Ayarlarınız Kaydedilmiştir!"});
    RecordList file;
    file.load(main->paths().settingsFile());
    QVERIFY(file.count() >= 16);
    QCOMPARE(file.at(0), QStringLiteral("1500000"));
    QCOMPARE(file.at(3), settings.value(3, QStringLiteral("Masa")));
    for (int flag : {1, 5, 6})
        QVERIFY(file.at(flag) == "T" || file.at(flag) == "F");
}

void TestSettings::shortRegisterIsPadded_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("Masa Oluştur") << "SpeedButton2" << QStringList{"7.12.2026", "21:00:00", "1000"};
    QTest::newRow("Masa Bilgilerini Sil") << "SpeedButton6" << QStringList{"", "", ""};
}

void TestSettings::shortRegisterIsPadded()
{
    // Tables beyond the end of a hand-shortened register get their lines back.
    QFETCH(QString, button);
    QFETCH(QStringList, kept);
    writeRegister({"3", "7.12.2026", "21:00:00", "1000"});
    msgs().defaultAnswer = true;
    whileOpen([&] {
        get<TumNumberEdit>("masasayisi")->setText(QStringLiteral("3"));
        click(button.toLatin1().constData());
    });
    QCOMPARE(msgs().errors, QStringList());
    RecordList file;
    file.load(main->paths().registerFile());
    QCOMPARE(file.count(), kv::kRegisterLength);
    QCOMPARE(file.lines().mid(0, 4), QStringList{"3"} + kept);
    QCOMPARE(main->reg.lines(), file.lines());
}

void TestSettings::refusedExtraChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("approved");
    const auto row = [](const char *tag, const char *button, const char *name, const char *price,
                        const char *message, bool approved = true) {
        QTest::newRow(tag) << button << name << price << message << approved;
    };
    const char *cup = "Extra adı “☕” karakterini içeremez: kayıt dosyaları bu karakteri tutamaz.";
    row("Ekle without a Yönetici", "SpeedButton3", "Kahve", "7", "", false);
    row("Düzelt without a Yönetici", "SpeedButton4", "Kahve", "7", "", false);
    row("Ekle without price", "SpeedButton3", "Çay", "", "Extranın ücretini girin!");
    row("Düzelt without price", "SpeedButton4", "Çay", "", "Extranın ücretini girin!");
    row("Ekle without name", "SpeedButton3", "", "7", "Extra adı boş olamaz!");
    row("Düzelt with blanks for a name", "SpeedButton4", "   ", "7", "Extra adı boş olamaz!");
    row("Ekle with a cup", "SpeedButton3", "Kahve ☕ ₺", "7", cup);
    row("Düzelt with a cup", "SpeedButton4", "Kahve ☕ ₺", "7", cup);
}

void TestSettings::refusedExtraChangesNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, name);
    QFETCH(QString, price);
    QFETCH(QString, message);
    QFETCH(bool, approved);
    QStringList asked;
    if (!approved)
        form3->approve = [&asked](const QString &action) {
            asked << action;
            return std::optional<kv::hall::Approval>();
        };
    main->catalogue.assign({"Çay", "15"});
    main->catalogue.save(main->paths().catalogueFile());
    const QByteArray before = TestEnvironment::readBytes(main->paths().catalogueFile());
    whileOpen([&] {
        get<QListWidget>("ListBox4")->setCurrentRow(0);
        get<QLineEdit>("Edit2")->setText(name);
        get<TumNumberEdit>("fiyati")->setText(price);
        click(button.toLatin1().constData());
        QCOMPARE(form3->catalogueCopy().lines(), (QStringList{"Çay", "15"}));
    });
    QCOMPARE(msgs().infos, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(asked, approved ? QStringList() : QStringList{"catalogue"});
    QCOMPARE(TestEnvironment::readBytes(main->paths().catalogueFile()), before);
}

void TestSettings::typedSeparatorAsksBeforeSaving_data()
{
    // "17,50" typed into an amount box stands there as 1750: saving it asks first. What is
    // stored: unit fee, minimum charge, catalogue, fee list.
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("stored");
    QTest::newRow("unit fee, Hayır") << "birim"
                                     << "SpeedButton1" << false << "1000000|0|Çay,15|250000";
    QTest::newRow("minimum charge, Evet") << "enaz"
                                          << "SpeedButton1" << true << "1000000|1750|Çay,15|250000";
    QTest::newRow("new extra, Evet") << "fiyati"
                                     << "SpeedButton3" << true << "1000000|0|Çay,15,--,1750|250000";
    QTest::newRow("edited extra, Hayır") << "fiyati"
                                         << "SpeedButton4" << false << "1000000|0|Çay,15|250000";
    QTest::newRow("fee entry, Evet") << "para"
                                     << "" << true << "1000000|0|Çay,15|1750,250000";
}

void TestSettings::typedSeparatorAsksBeforeSaving()
{
    QFETCH(QString, box);
    QFETCH(QString, button);
    QFETCH(bool, yes);
    main->settings.set(5, QStringLiteral("T"));
    main->settings.set(6, QStringLiteral("T"));
    RecordList({"250000"}).save(main->paths().feeListFile());
    main->catalogue.assign({"Çay", "15"});
    main->catalogue.save(main->paths().catalogueFile());
    msgs().answers = {yes};
    QString hint;
    whileOpen([&] {
        const auto type = [&] {
            TumEdit *edit = box == QLatin1String("para") ? get6<TumEdit>("para")
                                                         : get<TumEdit>(box.toLatin1().constData());
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("17,50"));
            hint = edit->shownHint();
        };
        if (button.isEmpty()) {
            QTimer::singleShot(0, form6, [&] {
                type();
                click6("SpeedButton1");
                if (form6->isVisible())
                    click6("SpeedButton2");
            });
            form3->findChild<QAction *>("Ekle1")->trigger();
            return;
        }
        get<QTabWidget>("PageControl1")->setCurrentIndex(box == QLatin1String("fiyati"));
        if (button == QLatin1String("SpeedButton4"))
            get<QListWidget>("ListBox4")->setCurrentRow(0);
        type();
        click(button.toLatin1().constData());
    });
    QCOMPARE(hint, QStringLiteral("Tutarlar tam lira olarak, yalnızca rakamla girilir"));
    QCOMPARE(msgs().questions, QStringList{"Tutar 1.750 TL olarak kaydedilsin mi?"});
    QCOMPARE(msgs().errors, QStringList());
    RecordList settingsFile, catalogue;
    settingsFile.load(main->paths().settingsFile());
    catalogue.load(main->paths().catalogueFile());
    QTEST(QStringList({settingsFile.at(0), settingsFile.at(4), catalogue.lines().join(','),
                       items(form3->feeList()).join(',')})
              .join('|'),
          "stored");
}

void TestSettings::ctrlClickLoadsOnce()
{
    // A trailing name without a price fails to load, so each load leaves one error box.
    main->catalogue.assign({"A", "1", "B"});
    whileOpen([&] {
        QListWidget *names = get<QListWidget>("ListBox4");
        get<QTabWidget>("PageControl1")->setCurrentIndex(1);
        const QPoint b = names->visualItemRect(names->item(1)).center();
        QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, b);
        QTest::mouseClick(names->viewport(), Qt::LeftButton, Qt::ControlModifier, b);
        QTest::mouseClick(names->viewport(), Qt::LeftButton, Qt::ControlModifier, b);
    });
    QCOMPARE(msgs().errors, QStringList(2, QStringLiteral("List index out of bounds (3)")));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
