// Extras booked to a table: the visible and booked lists, the price box, the picker, "Çıkar"
// and "Temizle", and the table extras files byte for byte.
#include "deskfixture.h"

#include <QProcess>

#include "ayarlar.h"
#include "billwindow.h"
#include "ui_billwindow.h"

#include <QAccessible>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace kv;

namespace {
const QString kPlaceholder = QStringLiteral("Eklemek İçin Çift Tıklayın");
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");

QByteArray bytes(const QStringList &lines)
{
    return RecordList::toBytes(lines);
}

// Opens the picker from the visible extras list, double-clicks the given picker rows in turn
// and leaves with "Çık"; false when the picker did not open or did not close.
bool book(Desk &desk, const QList<int> &rows)
{
    TForm5 *picker = desk.forms.Form5.get();
    QList<std::function<void()>> steps;
    for (int row : rows)
        steps << [picker, row] {
            picker->ListBox1->setCurrentRow(row);
            picker->ListBox1DblClick();
        };
    steps << [picker] { picker->findChild<QPushButton *>("SpeedButton1")->click(); };
    ModalDriver driver(picker, steps);
    desk.run([&] { desk.form()->ListBox4DblClick(); });
    return driver.sawOpen && !driver.leftOpen;
}

void selectExtra(Desk &desk, int row)
{
    desk.ui()->ListBox4->setCurrentRow(row);
    desk.run([&] { desk.form()->ListBox4Click(); });
}

#ifdef Q_OS_LINUX
// Files may not grow beyond `bytes` while it lives: writes fail for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};
#endif
} // namespace

class TestExtras : public QObject
{
    Q_OBJECT

private slots:
    void loadingTableExtras_data();
    void loadingTableExtras();
    void bookingThroughPicker();
    void realDoubleClickInPicker();
    void pickerRefusals_data();
    void pickerRefusals();
    void bookingAfterUnpricedName_data();
    void bookingAfterUnpricedName();
    void priceBox_data();
    void priceBox();
    void removing_data();
    void removing();
    void removeRefusals();
    void removingLeavesUnpricedName();
    void clearingRecordsKeepsBookedExtras();
    void clearing();
    void clearingWithoutTable();
    void bookedPricesAreCopies();
    void unreadableFileShowsNothingOfAnotherTable_data();
    void unreadableFileShowsNothingOfAnotherTable();
    void failedWrites_data();
    void failedWrites();
    void screenReaderReadsPrices_data();
    void screenReaderReadsPrices();
};

void TestExtras::loadingTableExtras_data()
{
    QTest::addColumn<QByteArray>("file"); // "<missing>": no file
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QString>("extras");

    QTest::newRow("no file") << QByteArray("<missing>") << QStringList{kPlaceholder}
                             << QStringList() << "Extra girilmemiş!";
    QTest::newRow("empty file") << QByteArray() << QStringList{kPlaceholder} << QStringList()
                                << "Extra girilmemiş!";
    QTest::newRow("two extras") << QByteArray("\xc7"
                                              "ay\r\n15\r\nSu\r\n10\r\n")
                                << QStringList{"Çay", "Su"} << QStringList{"Çay", "15", "Su", "10"}
                                << "25 TL";
    QTest::newRow("three lines") << QByteArray("A\r\n100\r\nB\r\n") << QStringList{"A"}
                                 << QStringList{"A", "100", "B"} << "100 TL";
    QTest::newRow("one line") << QByteArray("A\r\n") << QStringList() << QStringList{"A"}
                              << "Extra girilmemiş!";
    QTest::newRow("turkish bytes, LF only")
        << QByteArray("\xde\xfdra \xdd\xe7"
                      "ecek\n5\n")
        << QStringList{"Şıra İçecek"} << QStringList{"Şıra İçecek", "5"} << "5 TL";
}

void TestExtras::loadingTableExtras()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, visible);
    QFETCH(QStringList, booked);
    QFETCH(QString, extras);
    Desk desk;
    desk.prepare(2);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"other", "1"});
    const QString path = desk.paths.tableExtrasFile("Masa 2");
    if (file != "<missing>")
        TestEnvironment::writeBytes(path, file);
    desk.start();
    desk.select(0);
    desk.ui()->Edit1->setText("left over");
    desk.select(1);

    QCOMPARE(items(desk.ui()->ListBox4), visible);
    QCOMPARE(desk.booked(), booked);
    QCOMPARE(desk.ui()->Label8->text(), QStringLiteral("0"));
    QCOMPARE(desk.ui()->Edit1->text(), QString());
    QCOMPARE(TestEnvironment::readBytes(path), file); // selecting writes nothing
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->Label12->text(), extras);
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestExtras::bookingThroughPicker()
{
    Desk desk;
    const QStringList catalogue{"Dağ Çayı", "15", "Şiş Köfte", "750000", "Su", "10", "Tost"};
    desk.prepare(2, {{SettingsLine::TablePrefix, "Bilardo Çığ"}}, {}, catalogue);
    desk.start();
    desk.select(0);
    desk.ui()->Edit1->setText("kept");
    TForm5 *picker = desk.forms.Form5.get();
    picker->ListBox1->addItem("stale");

    QStringList offered;
    bool openAfterBooking = false;
    ModalDriver driver(picker,
                       {[&] {
                            offered = items(picker->ListBox1);
                            picker->ListBox1->setCurrentRow(1);
                            picker->ListBox1DblClick();
                        },
                        [&] {
                            // The picker stays open: each double click books one more.
                            openAfterBooking = picker->isVisible();
                            picker->ListBox1DblClick();
                        },
                        [&] {
                            picker->ListBox1->setCurrentRow(0);
                            picker->ListBox1DblClick();
                        },
                        [&] { picker->findChild<QPushButton *>("SpeedButton1")->click(); }});
    desk.run([&] { desk.form()->ListBox4DblClick(); });
    QVERIFY(driver.sawOpen && !driver.leftOpen);
    QVERIFY(picker->isHidden());

    // The picker lists every even catalogue line, a trailing name without a price included.
    QCOMPARE(offered, (QStringList{"Dağ Çayı", "Şiş Köfte", "Su", "Tost"}));
    QVERIFY(openAfterBooking);
    // Picker line 2 copies catalogue lines 2 and 3.
    const QStringList booked{"Şiş Köfte", "750000", "Şiş Köfte", "750000", "Dağ Çayı", "15"};
    QCOMPARE(desk.booked(), booked);
    QCOMPARE(items(desk.ui()->ListBox4), (QStringList{"Şiş Köfte", "Şiş Köfte", "Dağ Çayı"}));
    QCOMPARE(desk.ui()->Edit1->text(), QStringLiteral("kept")); // booking leaves the price box
    QVERIFY(desk.env.messages().all().isEmpty());

    // Windows-1254 bytes in a file named after the table (file names are the platform's).
    const QString path = desk.env.dataDir() + QStringLiteral("/Masa Extraları/Bilardo Çığ 1.msex");
    QCOMPARE(TestEnvironment::readBytes(path), QByteArray("\xdei\xfe K\xf6"
                                                          "fte\r\n750000\r\n\xdei\xfe K\xf6"
                                                          "fte\r\n750000\r\nDa\xf0 \xc7"
                                                          "ay\xfd\r\n15\r\n"));
    QCOMPARE(QDir(desk.paths.extrasDir()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Bilardo Çığ 1.msex"});

    // The calculation sums them.
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->Label12->text(), QStringLiteral("1.500.015 TL"));

    // After a restart (new windows replacing the old ones) the table shows them again.
    desk.start();
    desk.select(0);
    QCOMPARE(items(desk.ui()->ListBox4), (QStringList{"Şiş Köfte", "Şiş Köfte", "Dağ Çayı"}));
    QCOMPARE(desk.booked(), booked);
}

void TestExtras::realDoubleClickInPicker()
{
    Desk desk;
    desk.prepare(1, {}, {}, {"Çay", "15", "Su", "10"});
    desk.start();
    desk.select(0);
    TForm5 *picker = desk.forms.Form5.get();
    auto doubleClick = [picker](int row) {
        QWidget *viewport = picker->ListBox1->viewport();
        const QPoint centre =
            picker->ListBox1->visualItemRect(picker->ListBox1->item(row)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
    };
    ModalDriver driver(picker,
                       {[&] { doubleClick(1); }, [&] { doubleClick(1); },
                        [&] { picker->findChild<QPushButton *>("SpeedButton1")->click(); }});
    desk.run([&] { desk.form()->ListBox4DblClick(); });
    QVERIFY(driver.sawOpen && !driver.leftOpen);
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")),
             (QStringList{"Su", "10", "Su", "10"}));
    QCOMPARE(items(desk.ui()->ListBox4), (QStringList{"Su", "Su"}));
}

void TestExtras::pickerRefusals_data()
{
    QTest::addColumn<QStringList>("catalogue");
    QTest::addColumn<bool>("selectTable");
    QTest::addColumn<int>("row"); // picker row double-clicked; -1 none selected
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QStringList>("infos");

    const QStringList catalogue{"Dağ Çayı", "15", "Tost"};
    QTest::newRow("no table selected")
        << catalogue << false << 0 << false << QStringList{kSelectTable};
    QTest::newRow("empty catalogue") << QStringList() << true << 0 << false
                                     << QStringList{"Ayarlar Bölümünden Exstra Girişini Yapınız!"};
    QTest::newRow("no picker line selected") << catalogue << true << -1 << true << QStringList();
    QTest::newRow("name without price")
        << catalogue << true << 1 << true << QStringList{"Bu extranın fiyatı girilmemiş!"};
}

void TestExtras::pickerRefusals()
{
    QFETCH(QStringList, catalogue);
    QFETCH(bool, selectTable);
    QFETCH(int, row);
    QFETCH(bool, shown);
    QFETCH(QStringList, infos);
    Desk desk;
    desk.prepare(1, {}, {}, catalogue);
    desk.start();
    if (selectTable)
        desk.select(0);
    TForm5 *picker = desk.forms.Form5.get();
    picker->ListBox1->addItem("stale");
    ModalDriver driver(picker, {[picker, row] {
                           picker->ListBox1->setCurrentRow(row);
                           picker->ListBox1DblClick();
                       }});
    desk.run([&] { desk.form()->ListBox4DblClick(); });

    QCOMPARE(driver.sawOpen, shown);
    if (catalogue.isEmpty())
        QCOMPARE(picker->ListBox1->count(), 0);
    QCOMPARE(desk.env.messages().infos, infos);
    QVERIFY(desk.env.messages().errors.isEmpty());
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});
    QVERIFY(desk.booked().isEmpty());
    QVERIFY(!QFileInfo::exists(desk.paths.tableExtrasFile("Masa 1")));
}

void TestExtras::bookingAfterUnpricedName_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QString>("extras");
    // A name without a price is no booking: a new one must not pair up with it.
    QTest::newRow("one line, empty visible list")
        << QStringList{"X"} << QStringList{"C"} << QStringList{"C", "300"} << "300 TL";
    QTest::newRow("three lines") << QStringList{"A", "100", "X"} << QStringList{"A", "C"}
                                 << QStringList{"A", "100", "C", "300"} << "400 TL";
}

void TestExtras::bookingAfterUnpricedName()
{
    QFETCH(QStringList, file);
    QFETCH(QStringList, visible);
    QFETCH(QStringList, booked);
    QFETCH(QString, extras);
    Desk desk;
    desk.prepare(1, {}, {}, {"C", "300"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), file);
    desk.start();
    desk.select(0);
    QVERIFY(book(desk, {0}));
    QCOMPARE(items(desk.ui()->ListBox4), visible);
    QCOMPARE(desk.booked(), booked);
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")), booked);
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->Label12->text(), extras);
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestExtras::priceBox_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("errors");
    const QStringList file{"A", "1000000", "B", "0", "C", "12a"};
    QTest::newRow("1000000") << file << 0 << "1.000.000 TL" << QStringList();
    QTest::newRow("0") << file << 1 << " TL" << QStringList();
    QTest::newRow("not a number") << file << 2 << "12a"
                                  << QStringList{"'12a' is not a valid integer value"};
    QTest::newRow("placeholder") << QStringList() << 0 << "" << QStringList();
}

void TestExtras::priceBox()
{
    QFETCH(QStringList, file);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(QStringList, errors);
    Desk desk;
    desk.prepare(1);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), file);
    desk.start();
    desk.select(0);
    desk.ui()->Edit1->setText("left over");
    selectExtra(desk, row);
    QCOMPARE(desk.ui()->Edit1->text(), text);
    QCOMPARE(desk.env.messages().errors, errors);
}

void TestExtras::removing_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QByteArray>("after");

    const QStringList aba{"A", "100", "B", "200", "A", "300"};
    QTest::newRow("A, B, A: the third")
        << aba << QList<int>{2} << QStringList{"A", "B"} << bytes({"A", "100", "B", "200"});
    QTest::newRow("same name: the first")
        << aba << QList<int>{0} << QStringList{"B", "A"} << bytes({"B", "200", "A", "300"});
    QTest::newRow("first of three") << QStringList{"A", "1", "B", "2", "C", "3"} << QList<int>{0}
                                    << QStringList{"B", "C"} << bytes({"B", "2", "C", "3"});
    QTest::newRow("twice") << QStringList{"A", "1", "B", "2", "C", "3"} << QList<int>{1, 0}
                           << QStringList{"C"} << bytes({"C", "3"});
    QTest::newRow("the last one") << QStringList{"A", "1"} << QList<int>{0}
                                  << QStringList{kPlaceholder} << QByteArray();
}

void TestExtras::removing()
{
    QFETCH(QStringList, file);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, visible);
    QFETCH(QByteArray, after);
    Desk desk;
    desk.prepare(1);
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(path, file);
    desk.start();
    desk.select(0);
    for (int row : rows) {
        selectExtra(desk, row);
        QVERIFY(!desk.ui()->Edit1->text().isEmpty());
        desk.run([&] { desk.form()->kar1Click(); });
        QCOMPARE(desk.ui()->Edit1->text(), QString());
    }
    QCOMPARE(items(desk.ui()->ListBox4), visible);
    QCOMPARE(TestEnvironment::readBytes(path), after);
    QVERIFY(QFileInfo(path).isFile());
    QVERIFY(desk.env.messages().all().isEmpty());
    desk.select(0);
    QCOMPARE(items(desk.ui()->ListBox4), visible);
}

void TestExtras::removingLeavesUnpricedName()
{
    // A hand-edited file: what is left after the removal is a name without a price.
    Desk desk;
    desk.prepare(1);
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(path, {"A", "100", "B"});
    desk.start();
    desk.select(0);
    selectExtra(desk, 0);
    desk.run([&] { desk.form()->kar1Click(); });
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});
    QCOMPARE(desk.readLines(path), QStringList{"B"});
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestExtras::clearingRecordsKeepsBookedExtras()
{
    // "Masa Bilgilerini Sil" empties the booked list in memory; the table that was selected
    // must not then be billed or booked as if its file were empty.
    Desk desk;
    desk.prepare(2, {}, {}, {"Çay", "15000", "Kola", "25000"});
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(path, {"Çay", "15000", "Kola", "25000"});
    desk.start();
    desk.select(0);
    desk.env.messages().answers = {true};
    desk.run([&] { desk.forms.Form3->SpeedButton6Click(); });
    QCOMPARE(desk.form()->selectedTable(), -1);
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});

    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.env.messages().infos.last(), QStringLiteral("İşlem Yapacağınız Masayı Seçin!"));
    QVERIFY(!book(desk, {0}));
    QCOMPARE(desk.readLines(path), (QStringList{"Çay", "15000", "Kola", "25000"}));

    desk.select(0);
    QCOMPARE(items(desk.ui()->ListBox4), (QStringList{"Çay", "Kola"}));
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->Label12->text(), QStringLiteral("40.000 TL"));
}

void TestExtras::removeRefusals()
{
    Desk desk;
    desk.prepare(2);
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(path, {"A", "100"});
    desk.start();
    desk.select(0);
    desk.ui()->Edit1->setText("kept");
    desk.run([&] { desk.form()->kar1Click(); });
    QCOMPARE(desk.env.messages().infos, QStringList{"Çıkarılacak Öğe üzerine Tıklayın!"});
    QCOMPARE(desk.ui()->Edit1->text(), QStringLiteral("kept"));
    QCOMPARE(desk.readLines(path), (QStringList{"A", "100"}));

    // On the placeholder line nothing is removed and no file is written.
    desk.select(1);
    desk.ui()->ListBox4->setCurrentRow(0);
    desk.ui()->Edit1->setText("emptied");
    desk.env.messages().clear();
    desk.run([&] { desk.form()->kar1Click(); });
    QVERIFY(desk.env.messages().all().isEmpty());
    QCOMPARE(desk.ui()->Edit1->text(), QString());
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});
    QVERIFY(!QFileInfo::exists(desk.paths.tableExtrasFile("Masa 2")));
}

void TestExtras::clearing()
{
    Desk desk;
    desk.prepare(1);
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(path, {"A", "1", "B", "2"});
    desk.start();
    desk.select(0);
    selectExtra(desk, 1);
    desk.run([&] { desk.form()->emizle1Click(); });
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(TestEnvironment::readBytes(path), QByteArray());
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});
    QVERIFY(desk.booked().isEmpty());
    QCOMPARE(desk.ui()->Edit1->text(), QString());
    desk.select(0);
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestExtras::clearingWithoutTable()
{
    Desk desk;
    desk.prepare(1);
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(path, {"A", "1"});
    desk.start();
    desk.select(0);
    desk.ui()->ListBox2->clearSelection();
    desk.ui()->Edit1->setText("kept");
    desk.run([&] { desk.form()->emizle1Click(); });
    QCOMPARE(desk.env.messages().infos, QStringList{kSelectTable});
    QVERIFY(desk.env.messages().errors.isEmpty());
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{"A"});
    QCOMPARE(desk.form()->hall().booked(0).lines(), (QStringList{"A", "1"}));
    QCOMPARE(desk.ui()->Edit1->text(), QStringLiteral("kept"));
    QCOMPARE(desk.readLines(path), (QStringList{"A", "1"}));
}

void TestExtras::bookedPricesAreCopies()
{
    Desk desk;
    desk.prepare(1, {}, {}, {"A", "500", "B", "20"});
    desk.start();
    desk.select(0);
    QVERIFY(book(desk, {0}));

    // The settings window saves a new price and, as it closes, the main window reloads.
    desk.writeLines(desk.paths.catalogueFile(), {"A", "900", "B", "20"});
    desk.form()->hall().reloadCatalogue();
    desk.select(0);
    QCOMPARE(desk.booked(), (QStringList{"A", "500"}));
    QVERIFY(book(desk, {0}));
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")),
             (QStringList{"A", "500", "A", "900"}));
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->Label12->text(), QStringLiteral("1.400 TL"));
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestExtras::unreadableFileShowsNothingOfAnotherTable_data()
{
    QTest::addColumn<QString>("operation");
    for (const char *op : {"book", "remove", "clear"})
        QTest::newRow(op) << op;
}

void TestExtras::unreadableFileShowsNothingOfAnotherTable()
{
    // Masa 2's file cannot be read: nothing of Masa 1 is shown, billed or written into it,
    // and its own extras are never replaced.
    QFETCH(QString, operation);
    Desk desk;
    desk.prepare(2, {}, {}, {"Şalgam", "20"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "15"});
    const QString path = desk.paths.tableExtrasFile("Masa 2");
    QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
    desk.start();
    desk.select(0);
    desk.select(1);
    const QString cannotOpen = "Cannot open file " + QDir::toNativeSeparators(path);
    QCOMPARE(desk.env.messages().errors, QStringList{cannotOpen});
    QCOMPARE(items(desk.ui()->ListBox4), QStringList{kPlaceholder});
    QVERIFY(desk.booked().isEmpty());
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->Label12->text(), QStringLiteral("Extra girilmemiş!"));

    desk.env.messages().clear();
    if (operation == "book") {
        QVERIFY(book(desk, {0}));
    } else if (operation == "remove") {
        selectExtra(desk, 0);
        desk.run([&] { desk.form()->kar1Click(); });
    } else {
        desk.run([&] { desk.form()->emizle1Click(); });
    }
    if (operation != "remove") // the placeholder line removes nothing
        QCOMPARE(desk.env.messages().errors, QStringList{cannotOpen});
    QCOMPARE(files::kind(path), files::Kind::Other);
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")), (QStringList{"Çay", "15"}));
}

void TestExtras::failedWrites_data()
{
    QTest::addColumn<QString>("sabotage");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QStringList>("errors"); // each followed by the file's path

    const QStringList none{kPlaceholder};
    const QStringList cannotCreate{"Cannot create file "};
    // A directory where the table's file would be: it cannot be read, so the table shows
    // nothing and booking is refused (the selection and the booking each say so).
    QTest::newRow("directory as file, book")
        << "directory as file"
        << "book" << none << QStringList() << QStringList{"Cannot open file ", "Cannot open file "};
    // The extras directory replaced by a regular file: what was last read stays, to be
    // saved again once the directory is back.
    for (const char *op : {"book", "remove", "clear"})
        QTest::newRow(qPrintable(QStringLiteral("extras directory is a file, %1").arg(op)))
            << "extras directory is a file" << op << QStringList{"A", "B"}
            << QStringList{"A", "100", "B", "200"} << cannotCreate;
#ifdef Q_OS_LINUX
    // The file stays and cannot grow: the lists return to what it holds.
    for (const char *op : {"book", "remove"})
        QTest::newRow(qPrintable(QStringLiteral("file size limit, %1").arg(op)))
            << "file size limit" << op << QStringList{"A", "B"}
            << QStringList{"A", "100", "B", "200"} << cannotCreate;
#endif
}

void TestExtras::failedWrites()
{
    QFETCH(QString, sabotage);
    QFETCH(QString, operation);
    QFETCH(QStringList, visible);
    QFETCH(QStringList, booked);
    QFETCH(QStringList, errors);
    Desk desk;
    desk.prepare(1, {}, {}, {"C", "300"});
    const QString path = desk.paths.tableExtrasFile("Masa 1");
    if (sabotage == "directory as file")
        QVERIFY(QDir().mkpath(path));
    else
        desk.writeLines(path, {"A", "100", "B", "200"});
    const QByteArray before = TestEnvironment::readBytes(path);
    desk.start();
    desk.select(0);
    if (sabotage == "extras directory is a file") {
        QVERIFY(QDir(desk.paths.extrasDir()).removeRecursively());
        TestEnvironment::writeBytes(desk.paths.extrasDir(), "not a directory");
    }

    auto act = [&] {
        if (operation == "book") {
            QVERIFY(book(desk, {0}));
        } else if (operation == "remove") {
            selectExtra(desk, 0);
            desk.run([&] { desk.form()->kar1Click(); });
        } else {
            desk.run([&] { desk.form()->emizle1Click(); });
        }
    };
#ifdef Q_OS_LINUX
    if (sabotage == "file size limit") {
        FileSizeLimit limit(1);
        act();
    } else
#endif
    {
        act();
    }

    for (QString &e : errors)
        e += QDir::toNativeSeparators(path);
    QCOMPARE(desk.env.messages().errors, errors);
    // The screen shows what the file holds, and the file is as it was.
    QCOMPARE(items(desk.ui()->ListBox4), visible);
    QCOMPARE(desk.booked(), booked);
    if (sabotage == "file size limit") {
        QCOMPARE(TestEnvironment::readBytes(path), before);
        QCOMPARE(QDir(desk.paths.extrasDir()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Masa 1.msex"});
    }
    if (sabotage == "directory as file")
        QCOMPARE(QDir(desk.paths.extrasDir()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestExtras::screenReaderReadsPrices_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "main window";
    QTest::newRow("picker") << "picker";
    QTest::newRow("bill") << "bill";
}

void TestExtras::screenReaderReadsPrices()
{
    QFETCH(QString, window);
    // What a screen reader reads of each row: the name and the price as shown.
    const auto read = [](QListWidget *list) {
        QStringList names;
        QAccessibleInterface *rows = QAccessible::queryAccessibleInterface(list);
        for (int i = 0; rows && i < rows->childCount(); ++i)
            if (rows->child(i)->role() == QAccessible::ListItem)
                names << rows->child(i)->text(QAccessible::Name);
        return names;
    };
    const QStringList expected{"Çay, 5.000 TL", "Su, 10 TL", "Tost"};
    Desk desk;
    desk.prepare(1, {}, {}, {"Çay", "5000", "Su", "10", "Tost"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "5000", "Su", "10", "Tost"});
    desk.start();
    desk.select(0);
    if (window == "main window") {
        QCOMPARE(read(desk.ui()->ListBox4), expected.first(2)); // an unpriced name is not shown
    } else if (window == "picker") {
        QStringList names;
        TForm5 *picker = desk.forms.Form5.get();
        ModalDriver driver(picker, {[&] {
                               names = read(picker->ListBox1);
                               picker->findChild<QPushButton *>("SpeedButton1")->click();
                           }});
        desk.run([&] { desk.form()->ListBox4DblClick(); });
        QCOMPARE(names, expected);
    } else {
        BillWindow bill;
        ledger::BillRecord record;
        record.extras = {{"Çay", 5000}, {"Su", 10}};
        bill.fill(record);
        QCOMPARE(read(bill.ui->ExtrasList), expected.first(2));
    }
}

QTEST_MAIN(TestExtras)
#include "tst_extras.moc"
