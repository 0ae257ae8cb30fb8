// Timings of the record files, the start and each handler of an evening on the largest real
// data. Not a test: nothing here passes or fails on a figure. Run offscreen, for example
//   QT_QPA_PLATFORM=offscreen kelvora_bench -median 5
// Handlers that save run on two data directories: on disk, where each save syncs, and on
// tmpfs, where the sync is a no-op, so the difference is the sync's cost.
#include "benchdata.h"
#include "clock.h"
#include "deskfixture.h"

#include "ayarlar.h"
#include "billwindow.h"
#include "cashdesk.h"
#include "dayendwindow.h"
#include "firstpaint.h"
#include "fsys.h"
#include "hakkinda.h"
#include "ileride.h"
#include "movewindow.h"
#include "ucretgirisi.h"
#include "ui_billwindow.h"
#include "ui_dayendwindow.h"
#include "ui_movewindow.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QStorageInfo>
#include <QTranslator>

#include <algorithm>
#include <memory>

using namespace kv;

namespace {

const char *const kMemoryRoot = "/dev/shm";

// A desk over generated data. TestEnvironment makes its directory below TMPDIR, so TMPDIR
// points at tmpfs while a memory desk is made.
std::unique_ptr<Desk> makeDesk(bool memory, const benchdata::Options &options = {})
{
    const QByteArray oldTmp = qgetenv("TMPDIR");
    const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    if (memory)
        qputenv("TMPDIR", kMemoryRoot);
    auto desk = std::make_unique<Desk>();
    if (memory) {
        if (hadTmp)
            qputenv("TMPDIR", oldTmp);
        else
            qunsetenv("TMPDIR");
    }
    benchdata::write(desk->paths, options);
    desk->start();
    desk->env.messages().defaultAnswer = true; // every question is answered "Evet"
    return desk;
}

void storageRows()
{
    QTest::addColumn<bool>("memory");
    QTest::newRow("disk") << false;
    QTest::newRow("tmpfs") << true;
}

bool memoryUsable()
{
    return QFileInfo(QString::fromLatin1(kMemoryRoot)).isWritable();
}

#define STORAGE_ROW()                                                                              \
    QFETCH(bool, memory);                                                                          \
    if (memory && !memoryUsable())                                                                 \
        QSKIP("no writable tmpfs at /dev/shm");

// The median of the runs, as the benchmark's result.
void reportNs(QList<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    QTest::setBenchmarkResult(qreal(ns.at(ns.size() / 2)) / 1e6, QTest::WalltimeMilliseconds);
}

// Times `op` alone, `runs` times, each after `setup`, and reports the median; for steps
// whose repetition needs work that must not be counted.
template <class Setup, class Op> void reportMedian(int runs, Setup &&setup, Op &&op)
{
    QList<qint64> ns;
    for (int r = 0; r < runs; ++r) {
        setup();
        const qint64 t0 = monotonicNs();
        op();
        ns << monotonicNs() - t0;
    }
    reportNs(ns);
}

// Moves the desk's clock on by a second, as between two real ticks, so that every label
// really changes.
void tickClock(Desk &desk, int seconds = 1)
{
    desk.env.setNow(desk.env.now().addSecs(seconds));
    static quint64 uptime = 3600000;
    uptime += 1000;
    desk.env.setUptimeMs(uptime);
}

// The record files, by the path they have in a desk.
QString recordPath(const Desk &desk, const QString &file)
{
    if (file == QLatin1String("settings"))
        return desk.paths.settingsFile();
    if (file == QLatin1String("register"))
        return desk.paths.registerFile();
    if (file == QLatin1String("catalogue 500"))
        return desk.paths.catalogueFile();
    if (file == QLatin1String("fee list 100"))
        return desk.paths.feeListFile();
    return desk.paths.tableExtrasFile(QStringLiteral("Masa 1"));
}

const QStringList kRecordFiles = {QStringLiteral("settings"), QStringLiteral("register"),
                                  QStringLiteral("catalogue 500"), QStringLiteral("fee list 100"),
                                  QStringLiteral("table extras 200")};

} // namespace

class BenchKelvora : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Record files.
    void loadRecord_data();
    void loadRecord();
    void saveRecord_data();
    void saveRecord();
    void syncAlone_data();
    void syncAlone();

    // Start.
    void createForms();
    void formCreate();
    void constructWindow_data();
    void constructWindow();
    void startPieces_data();
    void startPieces();

    // The evening's handlers.
    void showTable();
    void openAccount_data();
    void openAccount();
    void calculate();
    void bookExtra_data();
    void bookExtra();
    void removeExtra_data();
    void removeExtra();
    void openSettings();
    void fillSettings();
    void saveSettings_data();
    void saveSettings();
    void createTables_data();
    void createTables();
    void timerTick_data();
    void timerTick();

    // The ledger of settled bills: 100,000 bills, 300 on the day shown.
    void ledgerOpen_data();
    void ledgerOpen();
    void createFormsWithLedger();
    void settleBill_data();
    void settleBill();
    void dayEnd_data();
    void dayEnd();
    void cancelBill_data();
    void cancelBill();
    void moveTable_data();
    void moveTable();
};

void BenchKelvora::initTestCase()
{
    kv::clock::readTimeZoneOnce(); // as the program does

    const QStorageInfo disk(QDir::tempPath());
    qInfo("data on disk: %s (%s, %s)", qPrintable(QDir::tempPath()),
          disk.fileSystemType().constData(), qPrintable(disk.device()));
    if (memoryUsable()) {
        const QStorageInfo memory(QString::fromLatin1(kMemoryRoot));
        qInfo("data in memory: %s (%s)", kMemoryRoot, memory.fileSystemType().constData());
    }
}

// ---- Record files -----------------------------------------------------------------------

void BenchKelvora::loadRecord_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &f : kRecordFiles)
        QTest::newRow(qPrintable(f)) << f;
}

void BenchKelvora::loadRecord()
{
    QFETCH(QString, file);
    auto desk = makeDesk(false);
    const QString path = recordPath(*desk, file);
    RecordList list;
    QBENCHMARK
    {
        list.load(path);
    }
    QVERIFY(list.count() > 1);
}

void BenchKelvora::saveRecord_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("memory");
    for (const QString &f : kRecordFiles) {
        QTest::newRow(qPrintable(f + QStringLiteral(" disk"))) << f << false;
        QTest::newRow(qPrintable(f + QStringLiteral(" tmpfs"))) << f << true;
    }
}

void BenchKelvora::saveRecord()
{
    QFETCH(QString, file);
    STORAGE_ROW();
    auto desk = makeDesk(memory);
    const QString path = recordPath(*desk, file);
    RecordList list;
    list.load(path);
    QBENCHMARK
    {
        list.save(path);
    }
    QCOMPARE(desk->readLines(path), list.lines());
}

// The sync alone: a file of the same size, already written, forced to disk with its
// directory, as a save does after writing.
void BenchKelvora::syncAlone_data()
{
    loadRecord_data();
}

void BenchKelvora::syncAlone()
{
    QFETCH(QString, file);
    auto desk = makeDesk(false);
    const QString path = recordPath(*desk, file);
    const QByteArray bytes = TestEnvironment::readBytes(path);
    const QString copy = desk->env.dataDir() + QStringLiteral("/sync-probe");
    QBENCHMARK
    {
        // Rewritten each time, so there is always something to sync.
        TestEnvironment::writeBytes(copy, bytes);
        QVERIFY(kv::fsys::syncPath(copy));
    }
}

// ---- Start ------------------------------------------------------------------------------

// Every window and the main window's creation handler, 80 tables all open. Destroying the
// windows is not counted.
void BenchKelvora::createForms()
{
    auto desk = makeDesk(false);
    Forms forms;
    reportMedian(
        15, [&] { forms.clear(); }, [&] { forms = kv::createForms(desk->paths); });
    QCOMPARE(forms.Form1->ui->ListBox2->count(), benchdata::kTables);
    QVERIFY(desk->env.messages().all().isEmpty());
}

// The creation handler alone: reads the three record files and fills the table list.
void BenchKelvora::formCreate()
{
    auto desk = makeDesk(false);
    TForm1 *form = desk->form();
    reportMedian(
        201, [&] { form->ui->ListBox2->clear(); }, [&] { desk->run([&] { form->FormCreate(); }); });
    QCOMPARE(form->ui->ListBox2->count(), benchdata::kTables);
    QVERIFY(desk->env.messages().all().isEmpty());
}

void BenchKelvora::constructWindow_data()
{
    QTest::addColumn<int>("window");
    QTest::newRow("TForm1 main") << 1;
    QTest::newRow("TForm2 about") << 2;
    QTest::newRow("TForm3 settings") << 3;
    QTest::newRow("TForm4 planned") << 4;
    QTest::newRow("TForm5 extras picker") << 5;
    QTest::newRow("TForm6 fee entry") << 6;
    QTest::newRow("TForm7 fee selection") << 7;
}

// Each window's constructor on its own, after the first of its kind was made, so the costs
// paid once per process (fonts, style, pictures' plug-ins) are not in it.
void BenchKelvora::constructWindow()
{
    QFETCH(int, window);
    auto desk = makeDesk(false);
    TForm1 *main = desk->form();
    std::unique_ptr<QWidget> made;
    reportMedian(
        25, [&] { made.reset(); },
        [&] {
            switch (window) {
            case 1:
                made = std::make_unique<TForm1>(main->hall());
                break;
            case 2:
                made = std::make_unique<TForm2>(main);
                break;
            case 3:
                made = std::make_unique<TForm3>(main->hall(), main);
                break;
            case 4:
                made = std::make_unique<TForm4>(main);
                break;
            case 5:
                made = std::make_unique<TForm5>(main, main);
                break;
            case 6:
                made = std::make_unique<TForm6>(main);
                break;
            default:
                made = std::make_unique<TForm7>(main);
            }
        });
    QVERIFY(made);
}

void BenchKelvora::startPieces_data()
{
    QTest::addColumn<QString>("piece");
    for (const char *p : {"Turkish translations", "picture banner1.jpg", "picture banner2.jpg",
                          "picture about.jpg"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

// Steps of the start that repeat the same work every time, measured warm.
void BenchKelvora::startPieces()
{
    QFETCH(QString, piece);
    if (piece.startsWith(QLatin1String("picture"))) {
        const QString path = QStringLiteral(":/") + piece.section(QLatin1Char(' '), 1);
        auto desk = makeDesk(false); // registers the pictures
        // Decoded each time: a QPixmap made from a file name would come from the pixmap
        // cache after the first.
        QImage image;
        QBENCHMARK
        {
            image = QImage(path);
        }
        QVERIFY(!image.isNull());
        return;
    }
    bool loaded = false;
    QBENCHMARK
    {
        QTranslator translator;
        loaded = translator.load(QLocale(QLocale::Turkish, QLocale::Turkey),
                                 QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
    if (!loaded)
        QSKIP("Qt's Turkish translations are not installed");
}

// ---- The evening's handlers -------------------------------------------------------------

// A click on the table with 200 booked extras: reads its extras file and lists them.
void BenchKelvora::showTable()
{
    auto desk = makeDesk(false);
    desk->ui()->ListBox2->setCurrentRow(0);
    QBENCHMARK
    {
        desk->run([&] { desk->form()->ListBox2Click(); });
    }
    QCOMPARE(desk->ui()->ListBox4->count(), benchdata::kBookedExtras);
    QVERIFY(desk->env.messages().all().isEmpty());
}

// A double click on a table with an open account: the question is answered "Evet", the
// account restarts and the register is saved.
void BenchKelvora::openAccount_data()
{
    storageRows();
}

void BenchKelvora::openAccount()
{
    STORAGE_ROW();
    auto desk = makeDesk(memory);
    desk->select(5);
    auto &msgs = desk->env.messages();
    QBENCHMARK
    {
        desk->run([&] { desk->form()->ListBox2DblClick(); });
    }
    QVERIFY(msgs.errors.isEmpty());
    QVERIFY(!msgs.questions.isEmpty());
    QCOMPARE(msgs.infos.last(), QStringLiteral("Masa 6 için hesap açıldı!"));
    QCOMPARE(desk->readLines(desk->paths.registerFile()).at(RegisterLine::startTime(5)),
             QStringLiteral("21:15:03"));
}

// "Ücret Hesapla" on the table with 200 booked extras.
void BenchKelvora::calculate()
{
    auto desk = makeDesk(false);
    desk->select(0);
    QBENCHMARK
    {
        desk->run([&] { desk->form()->SpeedButton3Click(); });
    }
    QVERIFY(desk->env.messages().all().isEmpty());
    QVERIFY(desk->ui()->Label9->text().endsWith(QLatin1String(" TL")));
}

// Booking one more extra to the table with 200 through the hall, and taking it back, so that
// every round writes 201 and then 200: two saves.
void BenchKelvora::bookExtra_data()
{
    storageRows();
}

void BenchKelvora::bookExtra()
{
    STORAGE_ROW();
    auto desk = makeDesk(memory);
    kv::hall::Hall &hall = desk->form()->hall();
    QBENCHMARK
    {
        desk->run([&] {
            hall.book(0, 250);
            hall.removeExtra(0, benchdata::kBookedExtras);
        });
    }
    QVERIFY(desk->env.messages().all().isEmpty());
    QCOMPARE(desk->readLines(desk->paths.tableExtrasFile(QStringLiteral("Masa 1"))).size(),
             2 * benchdata::kBookedExtras);
}

// "Çıkar" on the 100th of 200 booked extras, from the window (choosing the line and showing
// the list again counted with it), and one extra booked through the hall, so that every round
// starts from 200: two saves.
void BenchKelvora::removeExtra_data()
{
    storageRows();
}

void BenchKelvora::removeExtra()
{
    STORAGE_ROW();
    auto desk = makeDesk(memory);
    desk->select(0);
    TForm1 *form = desk->form();
    kv::hall::Hall &hall = form->hall();
    QBENCHMARK
    {
        form->ui->ListBox4->setCurrentRow(100);
        desk->run([&] { form->kar1Click(); });
        desk->run([&] { hall.book(0, 250); });
    }
    QVERIFY(desk->env.messages().all().isEmpty());
    QCOMPARE(desk->readLines(desk->paths.tableExtrasFile(QStringLiteral("Masa 1"))).size(),
             2 * benchdata::kBookedExtras);
}

// "Ayarlar > Seçenekler" with the fee list of 100 on: filled, shown, closed by a timer on
// its first turn of its event loop, and the catalogue reloaded on closing.
void BenchKelvora::openSettings()
{
    benchdata::Options options;
    options.multipleFees = true;
    auto desk = makeDesk(false, options);
    TForm3 *settings = desk->forms.Form3.get();
    bool sawOpen = true;
    QBENCHMARK
    {
        ModalDriver driver(settings);
        desk->run([&] { desk->form()->Seenekler1Click(); });
        sawOpen = sawOpen && driver.sawOpen;
    }
    QVERIFY(sawOpen);
    QCOMPARE(settings->feeList()->count(), benchdata::kFees);
    QVERIFY(desk->env.messages().all().isEmpty());
}

namespace {
// Notes when a window is being shown.
class ShowWatch : public QObject
{
public:
    qint64 shownAt = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show && shownAt == 0)
            shownAt = monotonicNs();
        return false;
    }
};
} // namespace

// The same, timed only until the window starts being shown: filling it from the records.
void BenchKelvora::fillSettings()
{
    benchdata::Options options;
    options.multipleFees = true;
    auto desk = makeDesk(false, options);
    TForm3 *settings = desk->forms.Form3.get();
    ShowWatch watch;
    settings->installEventFilter(&watch);
    QList<qint64> ns;
    for (int r = 0; r < 51; ++r) {
        watch.shownAt = 0;
        ModalDriver driver(settings);
        const qint64 t0 = monotonicNs();
        desk->run([&] { desk->form()->Seenekler1Click(); });
        QVERIFY(watch.shownAt > 0);
        ns << watch.shownAt - t0;
    }
    reportNs(ns);
    QCOMPARE(settings->feeList()->count(), benchdata::kFees);
}

// "Kaydet" with the fee list of 100 on: saves the fee list and the settings.
void BenchKelvora::saveSettings_data()
{
    storageRows();
}

void BenchKelvora::saveSettings()
{
    STORAGE_ROW();
    benchdata::Options options;
    options.multipleFees = true;
    auto desk = makeDesk(memory, options);
    TForm3 *settings = desk->forms.Form3.get();
    {
        ModalDriver driver(settings);
        desk->form()->Seenekler1Click();
    }
    QBENCHMARK
    {
        desk->run([&] { settings->SpeedButton1Click(); });
    }
    auto &msgs = desk->env.messages();
    QVERIFY(msgs.errors.isEmpty());
    QCOMPARE(msgs.infos.last(), QStringLiteral("Ayarlarınız Kaydedilmiştir!"));
    // The fee list shows its fees sorted, and saves them as shown.
    QStringList saved = desk->readLines(desk->paths.feeListFile());
    QStringList expected = benchdata::fees();
    saved.sort();
    expected.sort();
    QCOMPARE(saved, expected);
}

// "Masa Oluştur" with 80 tables, the question answered "Evet". The first run also removes
// the extras file of the table with 200 extras.
void BenchKelvora::createTables_data()
{
    storageRows();
}

void BenchKelvora::createTables()
{
    STORAGE_ROW();
    auto desk = makeDesk(memory);
    TForm3 *settings = desk->forms.Form3.get();
    {
        ModalDriver driver(settings);
        desk->form()->Seenekler1Click();
    }
    QBENCHMARK
    {
        desk->run([&] { settings->SpeedButton2Click(); });
    }
    auto &msgs = desk->env.messages();
    QVERIFY(msgs.errors.isEmpty());
    QCOMPARE(msgs.infos.last(), QStringLiteral("Masalar Oluşturuldu!"));
    QCOMPARE(desk->ui()->ListBox2->count(), benchdata::kTables);
}

// One tick of the clock timer with 1, 10 and 80 open accounts; "repaint" also paints what
// the tick changed, on the shown main window.
void BenchKelvora::timerTick_data()
{
    QTest::addColumn<int>("open");
    QTest::addColumn<bool>("repaint");
    QTest::addColumn<int>("step"); // seconds the clock moves per tick
    QTest::addColumn<bool>("priced");
    for (int open : {1, 10, 80}) {
        QTest::addRow("%d open", open) << open << false << 1 << false;
        // Every row's time and bill change: the tick of a new minute.
        QTest::addRow("%d open, new minute", open) << open << false << 60 << false;
        QTest::addRow("%d open + repaint", open) << open << true << 1 << false;
    }
    // Kinds with bands, a pause and a correction on every account: segments each minute.
    QTest::addRow("80 open, priced") << 80 << false << 1 << true;
    QTest::addRow("80 open, priced, new minute") << 80 << false << 60 << true;
}

void BenchKelvora::timerTick()
{
    QFETCH(int, open);
    QFETCH(bool, repaint);
    QFETCH(int, step);
    QFETCH(bool, priced);
    benchdata::Options options;
    options.openTables = open;
    options.priced = priced;
    auto desk = makeDesk(false, options);
    TForm1 *form = desk->form();
    form->Timer1->stop();
    form->Timer2->stop();
    form->Timer3->stop();
    if (repaint) {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCoreApplication::processEvents();
    }
    QString before = form->ui->Label15->text();
    QBENCHMARK
    {
        tickClock(*desk, step);
        desk->run([&] { form->Timer1Timer(); });
        if (repaint)
            QCoreApplication::processEvents();
    }
    QVERIFY(form->ui->Label15->text() != before);
    QVERIFY(desk->env.messages().all().isEmpty());
}

// ---- The ledger of settled bills ------------------------------------------------------

namespace {

benchdata::Options withLedger(int bills = benchdata::kLedgerBills)
{
    benchdata::Options options;
    options.ledgerBills = bills;
    return options;
}

// The parts of a handler that shows a window and waits for it: until the window starts
// being shown, from the operator's answer to the handler's end, and the whole.
enum class Part { BeforeWindow, AfterAnswer, Whole };

void partRows(bool withStorage)
{
    QTest::addColumn<int>("part");
    QTest::addColumn<bool>("memory");
    const std::pair<const char *, Part> parts[] = {{"until shown", Part::BeforeWindow},
                                                   {"after answer", Part::AfterAnswer},
                                                   {"whole", Part::Whole}};
    for (const bool memory : {false, true}) {
        if (memory && !withStorage)
            break;
        for (const auto &[name, part] : parts)
            QTest::addRow("%s%s", name, withStorage ? (memory ? ", tmpfs" : ", disk") : "")
                << int(part) << memory;
    }
}

// Runs `handler`, which shows `dialog` modally; `answer` answers it once it is open.
// Returns the nanoseconds of `part`.
qint64 timeModal(Part part, QDialog *dialog, const std::function<void()> &answer,
                 const std::function<void()> &handler)
{
    qint64 shown = 0, answered = 0;
    class Watch : public QObject
    {
    public:
        qint64 *at;
        explicit Watch(qint64 *a) : at(a) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Show && *at == 0)
                *at = monotonicNs();
            return false;
        }
    } watch(&shown);
    dialog->installEventFilter(&watch);
    ModalDriver driver(dialog, {[&] {
                           answered = monotonicNs();
                           answer();
                       }});
    const qint64 t0 = monotonicNs();
    handler();
    const qint64 t1 = monotonicNs();
    dialog->removeEventFilter(&watch);
    if (shown == 0 || answered == 0)
        return -1;
    switch (part) {
    case Part::BeforeWindow:
        return shown - t0;
    case Part::AfterAnswer:
        return t1 - answered;
    default:
        return t1 - t0;
    }
}

} // namespace

// Opening the ledger as the start does, 100,000 bills in it, warm (the plug-in loaded).
void BenchKelvora::ledgerOpen_data()
{
    QTest::addColumn<int>("bills");
    QTest::newRow("empty") << 0;
    QTest::newRow("100,000 bills") << benchdata::kLedgerBills;
}

void BenchKelvora::ledgerOpen()
{
    QFETCH(int, bills);
    auto desk = makeDesk(false, withLedger(bills));
    const QString path = desk->paths.ledgerFile();
    desk->forms.clear(); // the desk's own connection closed
    qInfo("ledger: %lld bytes", qlonglong(QFileInfo(path).size()));
    bool opened = true;
    QBENCHMARK
    {
        kv::ledger::Ledger ledger;
        opened = opened && ledger.open(path);
    }
    QVERIFY(opened);
}

// Every window and the main window's creation handler with the ledger of 100,000 bills.
void BenchKelvora::createFormsWithLedger()
{
    auto desk = makeDesk(false, withLedger());
    desk->forms.clear();
    Forms forms;
    reportMedian(
        15, [&] { forms.clear(); }, [&] { forms = kv::createForms(desk->paths); });
    QVERIFY(forms.Cash->ledger().isOpen());
    QVERIFY(desk->env.messages().all().isEmpty());
}

// "Hesabı Kapat" on the table with 200 booked extras, "Ödendi, Kapat" pressed in the bill
// window. Before each run the account is opened again with its extras (not counted).
void BenchKelvora::settleBill_data()
{
    partRows(true);
}

void BenchKelvora::settleBill()
{
    QFETCH(int, part);
    STORAGE_ROW();
    auto desk = makeDesk(memory, withLedger());
    TForm1 *form = desk->form();
    CashDesk *cash = desk->forms.Cash;
    QVERIFY(cash->ledger().isOpen());
    const qint64 billsBefore = cash->ledger().billCount();
    const QStringList account = desk->readLines(desk->paths.registerFile()).mid(1, 3);
    const QString extrasFile = desk->paths.tableExtrasFile(QStringLiteral("Masa 1"));
    const QByteArray extras = TestEnvironment::readBytes(extrasFile);
    QList<qint64> ns;
    constexpr int runs = 21;
    for (int r = 0; r < runs; ++r) {
        desk->run([&] { form->hall().openAccount(0, account.at(2), kv::counter::momentNow()); });
        TestEnvironment::writeBytes(extrasFile, extras);
        desk->select(0);
        tickClock(*desk, 60);
        BillWindow *bill = cash->billWindow();
        ns << timeModal(
            Part(part), bill, [bill] { bill->ui->PaidButton->click(); },
            [&] { desk->run([&] { cash->HesabiKapatClick(); }); });
        QVERIFY(ns.last() >= 0);
    }
    reportNs(ns);
    auto &msgs = desk->env.messages();
    QVERIFY(msgs.errors.isEmpty());
    QCOMPARE(msgs.infos.last(), QStringLiteral("Masa 1 için hesap kapatıldı!"));
    QCOMPARE(cash->ledger().billCount(), billsBefore + runs);
    QCOMPARE(TestEnvironment::readBytes(extrasFile), QByteArray());
}

// "Gün Sonu" on the day of 300 bills: the list filled from the ledger ("fill"), and the
// handler until its window starts being shown and whole (closed at once).
void BenchKelvora::dayEnd_data()
{
    QTest::addColumn<int>("part");
    QTest::newRow("fill 300 bills") << -1;
    QTest::newRow("until shown") << int(Part::BeforeWindow);
    QTest::newRow("whole") << int(Part::Whole);
}

void BenchKelvora::dayEnd()
{
    QFETCH(int, part);
    benchdata::Options options = withLedger();
    auto desk = makeDesk(false, options);
    const QDate day = benchdata::fullLedgerDay(options.latest.date());
    // The clock in the full day, so that the handler opens on it.
    desk->env.setNow(QDateTime(day, QTime(23, 30)));
    CashDesk *cash = desk->forms.Cash;
    DayEndWindow *window = cash->dayEndWindow();
    if (part < 0) {
        QBENCHMARK
        {
            window->showDay(day);
        }
    } else {
        QList<qint64> ns;
        for (int r = 0; r < 21; ++r)
            ns << timeModal(
                Part(part), window, [window] { window->accept(); },
                [&] { desk->run([&] { cash->GunSonuClick(); }); });
        reportNs(ns);
    }
    QCOMPARE(window->shownBills().size(), benchdata::kBillsPerDay);
    QCOMPARE(window->ui->BillsTable->model()->rowCount(), benchdata::kBillsPerDay);
    QVERIFY(desk->env.messages().all().isEmpty());
}

// "İptal Et" on a bill of the day of 300, its reason given; the list is filled again. All
// tables are open, so no account is reopened: only the bill is marked.
void BenchKelvora::cancelBill_data()
{
    storageRows();
}

void BenchKelvora::cancelBill()
{
    STORAGE_ROW();
    benchdata::Options options = withLedger();
    auto desk = makeDesk(memory, options);
    const QDate day = benchdata::fullLedgerDay(options.latest.date());
    DayEndWindow *window = desk->forms.Cash->dayEndWindow();
    window->askReason = [] { return std::optional<QString>(QStringLiteral("Yanlış masa")); };
    window->ui->DayEdit->setDate(day); // shows it, as the handler does
    QCOMPARE(window->shownBills().size(), benchdata::kBillsPerDay);
    int row = 0;
    QList<qint64> ns;
    for (int r = 0; r < 21; ++r) {
        // The table sorts by closing: row r is the r-th bill, not cancelled yet.
        // Through the selection model: selectRow() needs a laid-out header.
        QTableView *table = window->ui->BillsTable;
        table->selectionModel()->select(table->model()->index(row++, 0),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
        const qint64 t0 = monotonicNs();
        desk->run([&] { window->CancelBillClick(); });
        ns << monotonicNs() - t0;
    }
    reportNs(ns);
    auto &msgs = desk->env.messages();
    QVERIFY(msgs.errors.isEmpty());
    QVERIFY2(msgs.infos.last().startsWith(QStringLiteral("Fiş iptal edildi.")),
             qPrintable(msgs.infos.last()));
    int cancelled = 0;
    for (const auto &b : window->shownBills())
        cancelled += b.cancelled();
    QCOMPARE(cancelled, 21);
}

// "Masayı Taşı": the account with 200 extras goes to the one free table, and back in the next
// run; the move window answered at once.
void BenchKelvora::moveTable_data()
{
    partRows(true);
}

void BenchKelvora::moveTable()
{
    QFETCH(int, part);
    STORAGE_ROW();
    benchdata::Options options = withLedger();
    options.openTables = benchdata::kTables - 1; // the last table is free
    auto desk = makeDesk(memory, options);
    CashDesk *cash = desk->forms.Cash;
    MoveWindow *move = cash->moveWindow();
    const int last = benchdata::kTables - 1;
    QList<qint64> ns;
    for (int r = 0; r < 20; ++r) {
        desk->select(r % 2 == 0 ? 0 : last);
        ns << timeModal(
            Part(part), move, [move] { move->ui->MoveButton->click(); },
            [&] { desk->run([&] { cash->MasayiTasiClick(); }); });
        QVERIFY(ns.last() >= 0);
    }
    reportNs(ns);
    QVERIFY(desk->env.messages().errors.isEmpty());
    QCOMPARE(desk->readLines(desk->paths.tableExtrasFile(QStringLiteral("Masa 1"))).size(),
             2 * benchdata::kBookedExtras);
}

QTEST_MAIN(BenchKelvora)
#include "kelvora_bench.moc"
