// Every kind of save under every fault of the disk: the error box, the file as it was, no
// temporary file, no success reported, memory that matches the disk, and the same save
// succeeding once the fault is gone. One table of operations, one of faults. The cash desk's
// steps (settle, move, undo) change the ledger and two record files: for them a fault at each
// call in turn must leave either nothing of the step or a step recorded as unfinished, and the
// retry must leave it done exactly once.
//
// Runs with the fault shim preloaded (see tests/CMakeLists.txt). Faults that need a mount
// (a full or read-only data directory) need root; elsewhere they are skipped with the reason.
#include "ledgerfixture.h"

#include "ayarlar.h"
#include "billwindow.h"
#include "cashdesk.h"
#include "dayendwindow.h"
#include "faults/faultctl.h"
#include "leftovers.h"
#include "movewindow.h"
#include "ui_movewindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>

using namespace kv;

namespace {

// What an operation left right after it ran.
struct Outcome
{
    QStringList errors, infos;
    QStringList memory; // the in-memory lines that must match the disk
};

struct Operation
{
    // Record files beyond Desk::prepare(1), written before the windows start.
    std::function<void(Desk &)> prepare;
    // The file the save writes.
    std::function<QString(const Desk &)> target;
    // Runs the operation as the operator does it.
    std::function<Outcome(Desk &)> act;
    // The file whose lines Outcome::memory mirrors.
    std::function<QString(const Desk &)> memoryFile;
    // The target's lines after a successful save, from its lines before.
    std::function<QStringList(const QStringList &)> expected;
    QString success; // the information shown when it is done, if any
    // For the cash desk's operations, which keep the ledger too.
    std::function<void(Desk &)> setUp = {}; // after the start, before the fault
    // What the retry says when a fault after the rename left the step done on disk; empty:
    // the retry makes it once more.
    QString alreadyDone = {};
    QString ledgerAfter = {}; // the ledger (see ledgerState) once the operation is done
};

// The ledger in short: "bills N, cancelled N, unfinished N".
QString ledgerState(const Desk &desk)
{
    QString state = QStringLiteral("unreadable");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "harness");
        db.setDatabaseName(desk.paths.ledgerFile());
        QSqlQuery q(db);
        if (db.open() &&
            q.exec("SELECT (SELECT count(*) FROM bills), (SELECT count(*) FROM bills"
                   " WHERE cancelled_at IS NOT NULL), (SELECT count(*) FROM journal"
                   " WHERE done = 0)") &&
            q.next())
            state = QStringLiteral("bills %1, cancelled %2, unfinished %3")
                        .arg(q.value(0).toInt())
                        .arg(q.value(1).toInt())
                        .arg(q.value(2).toInt());
    }
    QSqlDatabase::removeDatabase("harness");
    return state;
}

// Settles Masa 1 through the bill window, paid.
void payMasa1(Desk &desk)
{
    desk.select(0);
    settle(desk);
}

// Masa 1 open since 20:00 with two extras booked.
void openMasa1(Desk &d)
{
    QStringList reg = d.readLines(d.paths.registerFile());
    reg[RegisterLine::date(0)] = QStringLiteral("7.12.2026");
    reg[RegisterLine::startTime(0)] = QStringLiteral("20:00:00");
    reg[RegisterLine::fee(0)] = QStringLiteral("1000000");
    d.writeLines(d.paths.registerFile(), reg);
    d.writeLines(d.paths.tableExtrasFile("Masa 1"), {"Çay", "15", "Su", "10"});
}

QStringList withAccount(QStringList lines, int table, const QStringList &account)
{
    for (int k = 0; k < 3; ++k)
        lines[RegisterLine::date(table) + k] = account.value(k);
    return lines;
}

const QStringList kMasa1Account{"7.12.2026", "20:00:00", "1000000"};
const QString kNoAccount = QStringLiteral("Bu masada açık hesap yok!");

// Opens the settings window, runs the action in it and closes it again; the outcome is taken
// right after the action, before closing (which reloads the catalogue) can add messages.
Outcome inSettingsWindow(Desk &desk, const std::function<void(TForm3 *)> &action,
                         const std::function<QStringList()> &memory)
{
    TForm3 *form3 = desk.forms.Form3.get();
    Outcome outcome;
    ModalDriver driver(form3, {[&] {
                                   desk.env.messages().clear();
                                   action(form3);
                               },
                               [&] {
                                   outcome.errors = desk.env.messages().errors;
                                   outcome.infos = desk.env.messages().infos;
                                   outcome.memory = memory();
                               }});
    form3->openFromMainMenu();
    if (!driver.sawOpen)
        outcome.errors << QStringLiteral("<the settings window did not open>");
    return outcome;
}

template <class T> T *child(QObject *parent, const char *name)
{
    T *w = parent->findChild<T *>(QLatin1String(name));
    Q_ASSERT(w);
    return w;
}

// Runs a handler of the main window and takes the outcome.
Outcome onDesk(Desk &desk, const std::function<void()> &handler,
               const std::function<QStringList()> &memory)
{
    desk.env.messages().clear();
    desk.run(handler);
    return {desk.env.messages().errors, desk.env.messages().infos, memory()};
}

const QString kSaved = QStringLiteral("Ayarlarınız Kaydedilmiştir!");

QMap<QString, Operation> operations()
{
    QMap<QString, Operation> ops;
    auto none = [](Desk &) {};
    ops["settings"] = {none,
                       [](const Desk &d) { return d.paths.settingsFile(); },
                       [](Desk &d) {
                           return inSettingsWindow(
                               d,
                               [](TForm3 *f) {
                                   child<QLineEdit>(f, "birim")->setText(QStringLiteral("1250000"));
                                   f->SpeedButton1Click();
                               },
                               [&d] { return d.form()->hall().settings().lines(); });
                       },
                       [](const Desk &d) { return d.paths.settingsFile(); },
                       [](QStringList lines) {
                           lines[SettingsLine::UnitFee] = QStringLiteral("1250000");
                           lines[SettingsLine::MinimumChargeOn] = flagText(false);
                           lines[SettingsLine::MultipleFees] = flagText(false);
                           return lines;
                       },
                       kSaved};
    ops["register"] = {none,
                       [](const Desk &d) { return d.paths.registerFile(); },
                       [](Desk &d) {
                           d.select(0);
                           return onDesk(
                               d, [&d] { d.form()->ListBox2DblClick(); },
                               [&d] { return d.form()->hall().registerLines().lines(); });
                       },
                       [](const Desk &d) { return d.paths.registerFile(); },
                       [](QStringList lines) {
                           lines[RegisterLine::date(0)] = QStringLiteral("7.12.2026");
                           lines[RegisterLine::startTime(0)] = QStringLiteral("21:15:03");
                           lines[RegisterLine::fee(0)] = QStringLiteral("1000000");
                           return lines;
                       },
                       QStringLiteral("Masa 1 için hesap açıldı!")};
    ops["catalogue"] = {
        none,
        [](const Desk &d) { return d.paths.catalogueFile(); },
        [](Desk &d) {
            return inSettingsWindow(
                d,
                [](TForm3 *f) {
                    child<QLineEdit>(f, "Edit2")->setText(QStringLiteral("Dağ Çayı"));
                    child<QLineEdit>(f, "fiyati")->setText(QStringLiteral("15"));
                    f->SpeedButton3Click();
                },
                [&d] { return d.forms.Form3->catalogueCopy().lines(); });
        },
        [](const Desk &d) { return d.paths.catalogueFile(); },
        [](QStringList lines) { return lines << QStringLiteral("Dağ Çayı") << "15"; },
        QString()};
    ops["fee list"] = {
        [](Desk &d) {
            d.writeLines(d.paths.feeListFile(), {"1000000", "1500000"});
            RecordList s;
            s.load(d.paths.settingsFile());
            s.set(SettingsLine::MultipleFees, flagText(true));
            s.save(d.paths.settingsFile());
        },
        [](const Desk &d) { return d.paths.feeListFile(); },
        [](Desk &d) {
            return inSettingsWindow(
                d,
                [](TForm3 *f) {
                    f->feeList()->addItem(QStringLiteral("2000000"));
                    f->SpeedButton1Click();
                },
                [&d] { return d.form()->hall().settings().lines(); });
        },
        // The fee list lives only in the window; the settings in memory must not change.
        [](const Desk &d) { return d.paths.settingsFile(); },
        [](QStringList lines) { return lines << QStringLiteral("2000000"); }, kSaved};
    ops["table extras"] = {[](Desk &d) {
                               d.writeLines(d.paths.tableExtrasFile("Masa 1"), {"Su", "10"});
                           },
                           [](const Desk &d) { return d.paths.tableExtrasFile("Masa 1"); },
                           [](Desk &d) {
                               d.select(0);
                               return onDesk(
                                   d, [&d] { d.form()->bookExtra(0); },
                                   [&d] { return d.booked(); });
                           },
                           [](const Desk &d) { return d.paths.tableExtrasFile("Masa 1"); },
                           [](QStringList lines) { return lines << QStringLiteral("Çay") << "15"; },
                           QString()};
    const auto registerFile = [](const Desk &d) { return d.paths.registerFile(); };
    const auto registerLines = [](Desk &d) { return d.form()->hall().registerLines().lines(); };
    ops["settle"] = {
        openMasa1,
        registerFile,
        [=](Desk &d) {
            d.env.messages().clear();
            payMasa1(d);
            return Outcome{d.env.messages().errors, d.env.messages().infos, registerLines(d)};
        },
        registerFile,
        [](QStringList lines) { return withAccount(lines, 0, {}); },
        QStringLiteral("Masa 1 için hesap kapatıldı!"),
        {},
        kNoAccount,
        QStringLiteral("bills 1, cancelled 0, unfinished 0")};
    ops["move"] = {
        openMasa1,
        registerFile,
        [=](Desk &d) {
            d.env.messages().clear();
            d.select(0);
            MoveWindow *w = d.forms.Cash->moveWindow();
            ModalDriver driver(w, {[w] { w->ui->MoveButton->click(); }});
            d.run([&] { d.forms.Cash->MasayiTasiClick(); });
            return Outcome{d.env.messages().errors, d.env.messages().infos, registerLines(d)};
        },
        registerFile,
        [](QStringList lines) { return withAccount(withAccount(lines, 0, {}), 1, kMasa1Account); },
        QStringLiteral("Masa 1 hesabı Masa 2 masasına taşındı!"),
        {},
        kNoAccount,
        QStringLiteral("bills 0, cancelled 0, unfinished 0")};
    // Undo: the bill of Masa 1, settled at set-up, is cancelled and its account reopened.
    ops["undo"] = {
        openMasa1,
        registerFile,
        [=](Desk &d) {
            d.env.messages().clear();
            d.run([&] { d.forms.Cash->cancelBill(1, QStringLiteral("deneme")); });
            return Outcome{d.env.messages().errors, d.env.messages().infos, registerLines(d)};
        },
        registerFile,
        [](QStringList lines) { return withAccount(lines, 0, kMasa1Account); },
        QStringLiteral("Fiş iptal edildi; Masa 1 hesabı yeniden açıldı."),
        [](Desk &d) { payMasa1(d); },
        QStringLiteral("Bu fiş zaten iptal edilmiş."),
        QStringLiteral("bills 1, cancelled 1, unfinished 0")};
    return ops;
}

bool isCashOperation(const QString &op)
{
    return op == "settle" || op == "move" || op == "undo";
}

enum class FaultKind {
    Shim,
    FullDisk,
    ReadOnly,
    DataDirRemoved,
    ExtrasDirRemoved,
    LedgerLocked,
    LedgerDamaged
};

struct Fault
{
    FaultKind kind;
    QString rules; // for the shim: which call fails, see faults/kvfault.h
    bool noTmpfile = false;
    // Where the shim's calls count: the target's directory, or for the cash desk's steps
    // "ledger" (Defter.db and its journal files), "extras" (Masa Extraları), "register"
    // (the register and its temporary files) or "data" (all of the data directory).
    QString scope = {};
};

QMap<QString, Fault> faults()
{
    return {
        {"write fails", {FaultKind::Shim, "write:1:ENOSPC"}},
        {"write fails, named temporary", {FaultKind::Shim, "write:1:ENOSPC", true}},
        {"fsync fails", {FaultKind::Shim, "fsync:1:EIO"}},
        {"fsync fails, named temporary", {FaultKind::Shim, "fsync:1:EIO", true}},
        {"rename fails", {FaultKind::Shim, "rename:1:EIO"}},
        {"rename fails, named temporary", {FaultKind::Shim, "rename:1:EIO", true}},
        {"link fails", {FaultKind::Shim, "linkat:1:EIO"}},
        {"directory fsync fails", {FaultKind::Shim, "fsync:2:EIO"}},
        {"full data directory", {FaultKind::FullDisk, {}}},
        {"read-only data directory", {FaultKind::ReadOnly, {}}},
        {"data directory removed", {FaultKind::DataDirRemoved, {}}},
        {"Masa Extraları missing", {FaultKind::ExtrasDirRemoved, {}}},
        {"ledger locked by another process", {FaultKind::LedgerLocked, {}}},
        {"ledger damaged", {FaultKind::LedgerDamaged, {}}},
    };
}

// A cash desk's step writes the ledger, an extras file and the register, each several times:
// the Nth call of each kind fails in turn, in each of the files it writes.
QMap<QString, Fault> cashFaults()
{
    QMap<QString, Fault> out;
    // The ledger's journal (WAL) is synced with fdatasync: twice or three times a step.
    for (int n = 1; n <= 8; ++n)
        out.insert(QStringLiteral("ledger write %1 fails").arg(n),
                   {FaultKind::Shim, QStringLiteral("write:%1:ENOSPC").arg(n), false, "ledger"});
    for (int n = 1; n <= 3; ++n)
        out.insert(QStringLiteral("ledger fdatasync %1 fails").arg(n),
                   {FaultKind::Shim, QStringLiteral("fdatasync:%1:EIO").arg(n), false, "ledger"});
    for (const char *kind : {"write", "fsync", "rename", "linkat"}) {
        out.insert(QStringLiteral("extras %1 fails").arg(kind),
                   {FaultKind::Shim, QStringLiteral("%1:1:EIO").arg(kind), false, "extras"});
        out.insert(QStringLiteral("register %1 fails").arg(kind),
                   {FaultKind::Shim, QStringLiteral("%1:1:EIO").arg(kind), true, "register"});
    }
    for (int n = 1; n <= 4; ++n)
        out.insert(QStringLiteral("fsync %1 in the data directory fails").arg(n),
                   {FaultKind::Shim, QStringLiteral("fsync:%1:EIO").arg(n), false, "data"});
    const QMap<QString, Fault> common = faults();
    for (auto it = common.cbegin(); it != common.cend(); ++it)
        if (it.value().kind != FaultKind::Shim)
            out.insert(it.key(), it.value());
    return out;
}

// A failed sync of the directory comes after the rename: the new file is in place then.
const char *const kAfterRename = "directory fsync fails";

// The rows whose call the operation never makes, and only they, end in a skip: a skip counts
// as a pass, so a call dropped elsewhere (a directory sync) would leave its rows untested
// unseen. The register's named temporary file is renamed, never linked; a settle empties the
// extras file, writing no bytes; a move's extras file is new on its table, linked in place.
const QSet<QString> kNoSuchCall{"move, extras rename fails", "move, register linkat fails",
                                "settle, extras write fails", "settle, register linkat fails",
                                "undo, register linkat fails"};

bool applies(const QString &op, const QString &fault)
{
    // The table extras live in "Masa Extraları"; only the cash desk uses the ledger.
    if (fault == "Masa Extraları missing")
        return op == "table extras" || isCashOperation(op);
    if (fault.startsWith("ledger"))
        return isCashOperation(op);
    return true;
}

int run(const QString &program, const QStringList &args, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        *output = program + QStringLiteral(": ") + p.errorString();
        return -1;
    }
    *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A mount over a directory, undone when it goes.
class Mount
{
public:
    ~Mount() { undo(); }
    // Empty when mounted, otherwise why not. A remount gives no new mount point.
    QString mount(const QStringList &args, const QString &newPoint = {})
    {
        QString out;
        if (run(QStringLiteral("mount"), args, &out) != 0)
            return QStringLiteral("cannot mount here (needs root): ") + out.section(u'\n', 0, 0);
        if (!newPoint.isEmpty())
            m_points << newPoint;
        return {};
    }
    void undo()
    {
        QString out;
        while (!m_points.isEmpty())
            run(QStringLiteral("umount"), {QStringLiteral("-l"), m_points.takeLast()}, &out);
    }

private:
    QStringList m_points;
};

void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir dir(from);
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString dest = to + QLatin1Char('/') + info.fileName();
        if (info.isDir())
            copyTree(info.filePath(), dest);
        else
            QFile::copy(info.filePath(), dest);
    }
}

// Writes a file until the file system is full.
void fill(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'x');
    while (f.write(block) == block.size()) {
    }
    while (f.write("x", 1) == 1) {
    }
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

QStringList linesOf(const QString &path)
{
    RecordList list;
    if (QFileInfo(path).isFile())
        list.load(path);
    return list.lines();
}

// Leaves the shim as it found it, however the row ends.
struct ShimReset
{
    const FaultControl &shim;
    ~ShimReset()
    {
        if (shim.loaded()) {
            shim.disarm();
            shim.noTmpfile(false);
            shim.scope(QString());
            shim.spare(QString());
        }
    }
};

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void save_data();
    void save();
    void plantedLinkIsNeverFollowed_data();
    void plantedLinkIsNeverFollowed();
    void extrasThatCannotBeRemovedStay_data();
    void extrasThatCannotBeRemovedStay();
    void laterWorkOutlivesAFailedStep_data();
    void laterWorkOutlivesAFailedStep();
};

void TestFaults::save_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault");
    for (const QString &op : operations().keys()) {
        const QMap<QString, Fault> all = isCashOperation(op) ? cashFaults() : faults();
        for (const QString &fault : all.keys()) {
            if (applies(op, fault))
                QTest::newRow(qPrintable(op + QStringLiteral(", ") + fault)) << op << fault;
        }
    }
}

void TestFaults::save()
{
    QFETCH(QString, operation);
    QFETCH(QString, fault);
    const Operation op = operations().value(operation);
    const Fault f = (isCashOperation(operation) ? cashFaults() : faults()).value(fault);
    const FaultControl shim;
    if (f.kind == FaultKind::Shim && !shim.loaded())
        QSKIP(FaultControl::notLoaded());
    const ShimReset reset{shim};

    Desk desk;
    desk.prepare(2, {}, {}, {"Çay", "15", "Su", "10"});
    op.prepare(desk);
    const bool cash = isCashOperation(operation);
    // The cash desk's first change is to a table's extras file: there a missing directory
    // shows first.
    const QString extrasTarget =
        desk.paths.tableExtrasFile(operation == "move" ? "Masa 2" : "Masa 1");
    const QString target = op.target(desk);
    const QString dir = QFileInfo(target).absolutePath();
    const QString data = desk.env.dataDir();
    const QString stash = desk.env.root() + QStringLiteral("/stash");
    Mount mount; // undone before the desk's directory goes
    if (f.kind == FaultKind::FullDisk) {
        copyTree(data, stash);
        const QString why = mount.mount({"-t", "tmpfs", "-o", "size=256k", "tmpfs", data}, data);
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        copyTree(stash, data);
    }
    desk.start();
    if (op.setUp)
        op.setUp(desk);
    QVERIFY(desk.env.messages().errors.isEmpty());
    const QStringList linesBefore = linesOf(target);
    QProcess locker; // holds the ledger's write lock while it runs

    // The fault.
    const QString filler = data + QStringLiteral("/dolgu");
    switch (f.kind) {
    case FaultKind::Shim:
        shim.scope(f.scope == "ledger"     ? desk.paths.ledgerFile()
                   : f.scope == "extras"   ? desk.paths.extrasDir()
                   : f.scope == "register" ? desk.paths.registerFile()
                   : f.scope == "data"     ? data
                                           : dir);
        shim.noTmpfile(f.noTmpfile);
        // A record file's own save is what fails, not the ledger that keeps its event.
        if (!cash)
            shim.spare(QFileInfo(data).canonicalFilePath() + QStringLiteral("/Defter"));
        QVERIFY(shim.arm(f.rules));
        break;
    case FaultKind::FullDisk:
        fill(filler);
        break;
    case FaultKind::ReadOnly: {
        QString why = mount.mount({"--bind", data, data}, data);
        if (why.isEmpty())
            why = mount.mount({"-o", "remount,bind,ro", data});
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        break;
    }
    case FaultKind::DataDirRemoved:
        copyTree(data, stash);
        QVERIFY(QDir(data).removeRecursively());
        break;
    case FaultKind::ExtrasDirRemoved:
        copyTree(desk.paths.extrasDir(), stash);
        QVERIFY(QDir(desk.paths.extrasDir()).removeRecursively());
        break;
    case FaultKind::LedgerLocked:
        // Another program holds the ledger's write lock.
        locker.start(QStringLiteral("/usr/bin/python3"),
                     {"-c",
                      "import sqlite3, sys, time\n"
                      "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                      "c.execute('BEGIN EXCLUSIVE')\n"
                      "print('locked', flush=True)\n"
                      "time.sleep(120)",
                      desk.paths.ledgerFile()});
        if (!locker.waitForReadyRead(10000))
            QSKIP("no python3 with sqlite3 here to hold the ledger's lock");
        break;
    case FaultKind::LedgerDamaged:
        // Damaged while the program was not running: it starts again on the damaged file.
        desk.forms.clear();
        QVERIFY(QDir().mkpath(stash));
        QVERIFY(QFile::copy(desk.paths.ledgerFile(), stash + "/Defter.db"));
        for (const char *companion : {"-wal", "-shm"})
            QFile::remove(desk.paths.ledgerFile() + companion);
        TestEnvironment::writeBytes(desk.paths.ledgerFile(),
                                    QByteArray("SQLite format 3\0", 16) + QByteArray(4080, 'Z'));
        desk.start();
        break;
    }
    const QByteArray before = TestEnvironment::readBytes(target);
    const QByteArray extrasBefore = TestEnvironment::readBytes(extrasTarget);
    const QString ledgerBefore = cash ? ledgerState(desk) : QString();
    const QByteArray ledgerBytes = TestEnvironment::readBytes(desk.paths.ledgerFile());
    const QStringList entriesBefore = entries(dir);

    // While another program holds the ledger, the window gets its turn between short waits;
    // the operator gives up after a few.
    QElapsedTimer sinceAsked;
    qint64 longestWait = 0;
    desk.env.messages().onWait = [&] {
        longestWait = std::max(longestWait, sinceAsked.restart());
        return desk.env.messages().waits < 4;
    };
    sinceAsked.start();
    const Outcome failed = op.act(desk);
    desk.env.messages().onWait = nullptr;
    if (f.kind == FaultKind::LedgerLocked) {
        QCOMPARE(desk.env.messages().waits, 4);
        QVERIFY2(longestWait < 100, qPrintable(QString::number(longestWait)));
        QVERIFY2((failed.errors + failed.infos)
                     .value(0)
                     .startsWith("Defter başka bir program tarafından kullanılıyor; "),
                 qPrintable(failed.errors.join(u'|')));
    }

    if (f.kind == FaultKind::Shim) {
        const int fired = shim.fired();
        const QString kind = f.rules.section(':', 0, 0);
        const int calls = shim.count(qPrintable(kind));
        shim.disarm();
        if (kNoSuchCall.contains(QString::fromUtf8(QTest::currentDataTag()))) {
            QVERIFY2(fired == 0, "the save makes this call now: the row is to be tested");
            QSKIP(qPrintable(QStringLiteral("this save makes no %1 call here").arg(kind)));
        }
        if (fired == 0)
            QFAIL(qPrintable(QStringLiteral("this save no longer makes its %1 call").arg(kind)));
        // A failed sync is never tried again on the same file (a cash desk's step syncs
        // several files, and puts some back after a failure).
        if (kind == "fsync" && !cash)
            QCOMPARE(calls, f.rules.section(':', 1, 1).toInt());
    }
    const QString memoryFile = op.memoryFile(desk);
    bool pending = false; // the step was recorded and reached the disk in part
    if (cash) {
        // One message says what became of the step.
        const QStringList said = failed.errors + failed.infos;
        QCOMPARE(said.size(), 1);
        const QString e = said.first();
        if (f.kind == FaultKind::LedgerDamaged || f.kind == FaultKind::DataDirRemoved) {
            // Not usable, and left as it is.
            QVERIFY2(e.contains("açılamadı ya da bozuk") && e.contains("dokunulmadı"),
                     qPrintable(e));
            if (f.kind == FaultKind::LedgerDamaged)
                QCOMPARE(TestEnvironment::readBytes(desk.paths.ledgerFile()), ledgerBytes);
        }
        // What the message says happened is what the files and the ledger hold: none of the
        // step, or all of it (its mark may be owed while the ledger cannot be written); half
        // of it only where neither could be written, and then it says so.
        const QString state = ledgerState(desk);
        pending = state.endsWith("unfinished 1");
        if (e == op.success || e.contains(" yine de ")) {
            QCOMPARE(linesOf(target), op.expected(linesBefore));
            QVERIFY2(state == op.ledgerAfter ||
                         (pending && state.chopped(1) == op.ledgerAfter.chopped(1)),
                     qPrintable(state));
        } else if (e.contains("yarım kaldı")) {
            QVERIFY2(pending, qPrintable(state));
        } else if (f.kind != FaultKind::LedgerDamaged && f.kind != FaultKind::DataDirRemoved) {
            QVERIFY2(failed.infos.isEmpty(), qPrintable(e));
            QVERIFY2(e.contains(QRegularExpression("(ılmadı|ınmadı|edilmedi)\\.")), qPrintable(e));
            QCOMPARE(state, ledgerBefore);
            QCOMPARE(TestEnvironment::readBytes(target), before);
            if (f.kind != FaultKind::ExtrasDirRemoved)
                QCOMPARE(TestEnvironment::readBytes(extrasTarget), extrasBefore);
        }
        for (const QString &name : entries(dir) + entries(desk.paths.extrasDir()))
            QVERIFY2(!isSaveLeftoverName(name), qPrintable(name));
    } else {
        QCOMPARE(failed.errors,
                 QStringList{"Cannot create file " + QDir::toNativeSeparators(target)});
        if (!op.success.isEmpty())
            QVERIFY2(!failed.infos.contains(op.success), "success reported");
        if (fault == kAfterRename) // the new file is in place: it must be whole
            QVERIFY2(TestEnvironment::readBytes(target) == before ||
                         linesOf(target) == op.expected(linesBefore),
                     "torn file");
        else
            QCOMPARE(TestEnvironment::readBytes(target), before);
        QCOMPARE(entries(dir), entriesBefore);
    }
    if (QFileInfo(memoryFile).isFile())
        QCOMPARE(failed.memory, linesOf(memoryFile));

    // The fault goes; the same operation then succeeds and the file holds the new content.
    switch (f.kind) {
    case FaultKind::Shim:
        break;
    case FaultKind::FullDisk:
        QVERIFY(QFile::remove(filler));
        break;
    case FaultKind::ReadOnly:
        mount.undo();
        break;
    case FaultKind::DataDirRemoved:
        copyTree(stash, data);
        break;
    case FaultKind::ExtrasDirRemoved:
        copyTree(stash, desk.paths.extrasDir());
        break;
    case FaultKind::LedgerLocked:
        locker.kill();
        locker.waitForFinished();
        break;
    case FaultKind::LedgerDamaged:
        // The operator puts back a sound copy; the program takes it at the next attempt.
        QVERIFY(QFile::remove(desk.paths.ledgerFile()));
        QVERIFY(QFile::copy(stash + "/Defter.db", desk.paths.ledgerFile()));
        break;
    }
    const QStringList entriesBeforeRetry = entries(dir);
    // A step done finds itself done; else the retry does it (finishing one left half done).
    const bool wasDone = cash && linesOf(target) == op.expected(linesBefore);
    // The operator restarts an account that the failed attempt may have left open.
    desk.env.messages().defaultAnswer = true;
    const Outcome retried = op.act(desk);
    const QStringList done = op.success.isEmpty() ? QStringList() : QStringList{op.success};
    if (cash) {
        QCOMPARE(retried.errors + retried.infos, wasDone ? QStringList{op.alreadyDone} : done);
        QCOMPARE(linesOf(target), op.expected(linesBefore));
        QCOMPARE(ledgerState(desk), op.ledgerAfter);
    } else {
        QVERIFY2(retried.errors.isEmpty() && retried.infos == done,
                 qPrintable(retried.errors.join(u'|')));
        if (fault == kAfterRename) // the first save did reach the disk
            QCOMPARE(linesOf(target), op.expected(op.expected(linesBefore)));
        else
            QCOMPARE(linesOf(target), op.expected(linesBefore));
        QCOMPARE(entries(dir), entriesBeforeRetry);
    }
    QCOMPARE(retried.memory, linesOf(memoryFile));
}

void TestFaults::plantedLinkIsNeverFollowed_data()
{
    QTest::addColumn<bool>("named");
    QTest::newRow("unnamed temporary file") << false;
    QTest::newRow("named temporary file") << true;
}

void TestFaults::plantedLinkIsNeverFollowed()
{
    // A symbolic link appears at the very name the save is about to give its temporary file:
    // the save goes around it, the file it points to is never written.
    QFETCH(bool, named);
    const FaultControl shim;
    if (!shim.loaded())
        QSKIP(FaultControl::notLoaded());
    const ShimReset reset{shim};
    Desk desk;
    desk.prepare(1);
    desk.start();
    const QString victim = desk.env.root() + "/victim";
    TestEnvironment::writeBytes(victim, "untouched");
    shim.scope(desk.paths.registerFile());
    shim.noTmpfile(named);
    shim.plant(victim, 3);
    desk.select(0);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    shim.plant(QString(), 0);
    QCOMPARE(desk.env.messages().errors, QStringList());
    QCOMPARE(TestEnvironment::readBytes(victim), QByteArray("untouched"));
    QCOMPARE(desk.readLines(desk.paths.registerFile()).at(1), QStringLiteral("7.12.2026"));
    int links = 0;
    for (const QFileInfo &entry :
         QDir(desk.env.dataDir()).entryInfoList(QDir::System | QDir::Files | QDir::Hidden))
        links += entry.isSymLink() && entry.symLinkTarget() == victim;
    QVERIFY2(links >= 1, "no link was planted: the test did not reach the save");
}

void TestFaults::extrasThatCannotBeRemovedStay_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("tables made anew") << "remake" << QStringList();
    QTest::newRow("extras left on a free table") << "open" << QStringList{"silinemedi."};
}

void TestFaults::extrasThatCannotBeRemovedStay()
{
    // A file another program holds (as on Windows): it stays as it was, with no bill written
    // for it and no step left to remove it later over newer extras.
    QFETCH(QString, action);
    QFETCH(QStringList, errors);
    const FaultControl shim;
    if (!shim.loaded())
        QSKIP(FaultControl::notLoaded());
    const ShimReset reset{shim};
    Desk desk;
    desk.prepare(2);
    const QString extras = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(extras, {"Çay", "5"});
    const QByteArray before = TestEnvironment::readBytes(extras);
    desk.start();
    desk.env.messages().defaultAnswer = true;
    shim.scope(desk.paths.extrasDir());
    QVERIFY(shim.arm("unlink:1+:EBUSY"));
    if (action == "remake") {
        TForm3 *settings = desk.forms.Form3.get();
        settings->findChild<QLineEdit *>("masasayisi")->setText("2");
        settings->findChild<QLineEdit *>("Edit1")->setText("Masa");
        desk.run([&] { settings->SpeedButton2Click(); });
        QCOMPARE(desk.env.messages().infos, QStringList{"Masalar Oluşturuldu!"});
    } else {
        desk.select(0);
        desk.run([&] { desk.form()->ListBox2DblClick(); });
        QVERIFY(desk.readLines(desk.paths.registerFile()).at(1).isEmpty()); // not opened
    }
    shim.disarm();
    QCOMPARE(desk.env.messages().errors.size(), errors.size());
    for (int k = 0; k < errors.size(); ++k)
        QVERIFY2(desk.env.messages().errors.at(k).endsWith(errors.at(k)),
                 qPrintable(desk.env.messages().errors.at(k)));
    QCOMPARE(TestEnvironment::readBytes(extras), before);
    QCOMPARE(ledgerState(desk), QStringLiteral("bills 0, cancelled 0, unfinished 0"));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

void TestFaults::laterWorkOutlivesAFailedStep_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("scope");
    for (const char *op : {"settle", "move", "undo"})
        for (const auto &[kind, scope] :
             QList<std::pair<const char *, const char *>>{{"write", "ledger"},
                                                          {"fdatasync", "ledger"},
                                                          {"write", "register"},
                                                          {"rename", "register"},
                                                          {"fsync", "extras"}})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2 %3").arg(op, scope, kind)))
                << op << kind << scope;
}

void TestFaults::laterWorkOutlivesAFailedStep()
{
    // A step fails at each of its calls in turn; the operator goes on (a new guest on a free
    // table, an extra booked to an open account), then a cash-desk action and a new start
    // deal with what the step left. Whatever the step did, the later work stays as it was
    // made, and the ledger holds the step once or not at all, as its message said.
    QFETCH(QString, operation);
    QFETCH(QString, kind);
    QFETCH(QString, scope);
    const FaultControl shim;
    if (!shim.loaded())
        QSKIP(FaultControl::notLoaded());
    const ShimReset reset{shim};
    const Operation op = operations().value(operation);
    int tried = 0;
    for (int n = 1; n <= 16; ++n) {
        Desk desk;
        desk.prepare(2, {}, {}, {"Çay", "15", "Su", "10"});
        op.prepare(desk);
        desk.start();
        if (op.setUp)
            op.setUp(desk);
        shim.scope(scope == "ledger"     ? desk.paths.ledgerFile()
                   : scope == "register" ? desk.paths.registerFile()
                                         : desk.paths.extrasDir());
        shim.noTmpfile(scope == "register");
        QVERIFY(shim.arm(QStringLiteral("%1:%2:EIO").arg(kind).arg(n)));
        const Outcome failed = op.act(desk);
        const bool fired = shim.fired() > 0;
        shim.disarm();
        if (!fired)
            break;
        ++tried;
        const QString said = (failed.errors + failed.infos).join(u'|');
        const QString row = QStringLiteral("call %1: %2").arg(n).arg(said);
        const bool done = said == op.success || said.contains(" yine de ");

        // Later work: a guest at each free table, a Su on each open account.
        for (int t = 0; t < 2; ++t) {
            desk.select(t);
            if (desk.form()->hall().registerLines().value(RegisterLine::date(t)).isEmpty())
                desk.run([&] { desk.form()->ListBox2DblClick(); });
            desk.run([&] { desk.form()->bookExtra(1); });
        }
        QStringList made;
        for (const char *table : {"Masa 1", "Masa 2"})
            made << QString::fromLatin1(
                TestEnvironment::readBytes(desk.paths.tableExtrasFile(table)));
        const QStringList reg = linesOf(desk.paths.registerFile());

        desk.env.messages().clear();
        {
            DayEndWindow *w = desk.forms.Cash->dayEndWindow();
            ModalDriver driver(w, {[w] { w->reject(); }});
            desk.run([&] { desk.forms.Cash->GunSonuClick(); });
        }
        desk.forms.clear();
        desk.start();
        QStringList now;
        for (const char *table : {"Masa 1", "Masa 2"})
            now << QString::fromLatin1(
                TestEnvironment::readBytes(desk.paths.tableExtrasFile(table)));
        QVERIFY2(now == made, qPrintable(row));
        QVERIFY2(linesOf(desk.paths.registerFile()) == reg, qPrintable(row));
        // The step is in the ledger exactly as said; none is left to be replayed.
        const QString state = ledgerState(desk);
        QVERIFY2(state.endsWith("unfinished 0"), qPrintable(row + " / " + state));
        if (!said.contains("yarım kaldı")) {
            const QString expected =
                operation == "settle" ? QStringLiteral("bills %1, cancelled 0").arg(done ? 1 : 0)
                : operation == "undo" ? QStringLiteral("bills 1, cancelled %1").arg(done ? 1 : 0)
                                      : QStringLiteral("bills 0, cancelled 0");
            QVERIFY2(state.startsWith(expected), qPrintable(row + " / " + state));
        }
    }
    QVERIFY2(tried > 0, "the step makes no such call");
}
