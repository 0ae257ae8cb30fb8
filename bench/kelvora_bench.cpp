// Timings of the record files, the start and each handler of an evening on the largest real
// data. Not a test: nothing here passes or fails on a figure. Run offscreen, for example
//   QT_QPA_PLATFORM=offscreen kelvora_bench -median 5
// Handlers that save run on two data directories: on disk, where each save syncs, and on
// tmpfs, where the sync is a no-op, so the difference is the sync's cost.
#include "benchdata.h"
#include "deskfixture.h"

#include "ayarlar.h"
#include "fsys.h"
#include "firstpaint.h"
#include "hakkinda.h"
#include "ileride.h"
#include "ucretgirisi.h"

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
    std::sort(ns.begin(), ns.end());
    QTest::setBenchmarkResult(qreal(ns.at(ns.size() / 2)) / 1e6, QTest::WalltimeMilliseconds);
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

    // ---- The ledger of settled bills --------------------------------------------------
    // Place for settling a bill and "Gün Sonu" over a day of 300 bills, on a ledger of
    // 100,000 bills, once the ledger is built.
    void settleBill();
    void dayEnd();
};

void BenchKelvora::initTestCase()
{
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
                made = std::make_unique<TForm1>(desk->paths);
                break;
            case 2:
                made = std::make_unique<TForm2>(main);
                break;
            case 3:
                made = std::make_unique<TForm3>(main, main);
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

// Booking one more extra to the table with 200: each time from the same 200, so every
// booking writes 201. Restoring the in-memory list is a shared copy, a few nanoseconds.
void BenchKelvora::bookExtra_data()
{
    storageRows();
}

void BenchKelvora::bookExtra()
{
    STORAGE_ROW();
    auto desk = makeDesk(memory);
    desk->select(0);
    TForm1 *form = desk->form();
    const RecordList booked = form->ListBox6;
    QBENCHMARK
    {
        form->ListBox6 = booked;
        desk->run([&] { form->bookExtra(250); });
    }
    QVERIFY(desk->env.messages().all().isEmpty());
    QCOMPARE(desk->ui()->ListBox4->count(), benchdata::kBookedExtras + 1);
    QCOMPARE(desk->readLines(desk->paths.tableExtrasFile(QStringLiteral("Masa 1"))).size(),
             2 * (benchdata::kBookedExtras + 1));
}

// "Çıkar" on the 100th of 200 booked extras; choosing the line is counted with it.
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
    const RecordList booked = form->ListBox6;
    QBENCHMARK
    {
        form->ListBox6 = booked;
        form->ui->ListBox4->setCurrentRow(100);
        desk->run([&] { form->kar1Click(); });
    }
    QVERIFY(desk->env.messages().all().isEmpty());
    QCOMPARE(desk->ui()->ListBox4->count(), benchdata::kBookedExtras - 1);
    QCOMPARE(desk->readLines(desk->paths.tableExtrasFile(QStringLiteral("Masa 1"))).size(),
             2 * (benchdata::kBookedExtras - 1));
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
    std::sort(ns.begin(), ns.end());
    QTest::setBenchmarkResult(qreal(ns.at(ns.size() / 2)) / 1e6, QTest::WalltimeMilliseconds);
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
    for (int open : {1, 10, 80}) {
        QTest::addRow("%d open", open) << open << false << 1;
        // Every row's time and bill change: the tick of a new minute.
        QTest::addRow("%d open, new minute", open) << open << false << 60;
        QTest::addRow("%d open + repaint", open) << open << true << 1;
    }
}

void BenchKelvora::timerTick()
{
    QFETCH(int, open);
    QFETCH(bool, repaint);
    QFETCH(int, step);
    benchdata::Options options;
    options.openTables = open;
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

void BenchKelvora::settleBill()
{
    QSKIP("the ledger of settled bills is not built yet");
}

void BenchKelvora::dayEnd()
{
    QSKIP("the ledger of settled bills is not built yet");
}

QTEST_MAIN(BenchKelvora)
#include "kelvora_bench.moc"
