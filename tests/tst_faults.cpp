// Every kind of save under every fault of the disk: the error box, the file as it was, no
// temporary file, no success reported, memory that matches the disk, and the same save
// succeeding once the fault is gone. One table of operations, one of faults.
//
// Runs with the fault shim preloaded (see tests/CMakeLists.txt). Faults that need a mount
// (a full or read-only data directory) need root; elsewhere they are skipped with the reason.
#include "deskfixture.h"

#include "ayarlar.h"
#include "faults/faultctl.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>

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
};

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
                               [&d] { return d.form()->settingsList().lines(); });
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
                               [&d] { return d.form()->registerList().lines(); });
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
                [&d] { return d.form()->settingsList().lines(); });
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
                                   [&d] { return d.form()->ListBox6.lines(); });
                           },
                           [](const Desk &d) { return d.paths.tableExtrasFile("Masa 1"); },
                           [](QStringList lines) { return lines << QStringLiteral("Çay") << "15"; },
                           QString()};
    return ops;
}

enum class FaultKind { Shim, FullDisk, ReadOnly, DataDirRemoved, ExtrasDirRemoved };

struct Fault
{
    FaultKind kind;
    QString rules; // for the shim: which call fails, see faults/kvfault.h
    bool noTmpfile = false;
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
    };
}

// A failed sync of the directory comes after the rename: the new file is in place then.
const char *const kAfterRename = "directory fsync fails";

bool applies(const QString &op, const QString &fault)
{
    // Only the table extras live in "Masa Extraları".
    return fault != "Masa Extraları missing" || op == "table extras";
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
};

void TestFaults::save_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault");
    const QMap<QString, Fault> allFaults = faults();
    for (const QString &op : operations().keys()) {
        for (const QString &fault : allFaults.keys()) {
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
    const Fault f = faults().value(fault);
    const FaultControl shim;
    if (f.kind == FaultKind::Shim && !shim.loaded())
        QSKIP(FaultControl::notLoaded());
    const ShimReset reset{shim};

    Desk desk;
    desk.prepare(1, {}, {}, {"Çay", "15", "Su", "10"});
    op.prepare(desk);
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
    const QStringList linesBefore = linesOf(target);
    desk.start();
    QVERIFY(desk.env.messages().errors.isEmpty());

    // The fault.
    const QString filler = data + QStringLiteral("/dolgu");
    switch (f.kind) {
    case FaultKind::Shim:
        shim.scope(dir);
        shim.noTmpfile(f.noTmpfile);
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
    }
    const QByteArray before = TestEnvironment::readBytes(target);
    const QStringList entriesBefore = entries(dir);

    const Outcome failed = op.act(desk);

    if (f.kind == FaultKind::Shim) {
        const int fired = shim.fired();
        const QString kind = f.rules.section(':', 0, 0);
        const int calls = shim.count(qPrintable(kind));
        shim.disarm();
        if (fired == 0)
            QSKIP(qPrintable(QStringLiteral("this save makes no %1 call here").arg(kind)));
        // A failed sync is never tried again on the same file.
        if (kind == "fsync")
            QCOMPARE(calls, f.rules.section(':', 1, 1).toInt());
    }
    QCOMPARE(failed.errors, QStringList{"Cannot create file " + QDir::toNativeSeparators(target)});
    if (!op.success.isEmpty())
        QVERIFY2(!failed.infos.contains(op.success), "success reported");
    if (fault == kAfterRename) // the new file is in place: it must be whole
        QVERIFY2(TestEnvironment::readBytes(target) == before ||
                     linesOf(target) == op.expected(linesBefore),
                 "torn file");
    else
        QCOMPARE(TestEnvironment::readBytes(target), before);
    QCOMPARE(entries(dir), entriesBefore);
    const QString memoryFile = op.memoryFile(desk);
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
    }
    const QStringList entriesBeforeRetry = entries(dir);
    // The operator restarts an account that the failed attempt may have left open.
    desk.env.messages().defaultAnswer = true;
    const Outcome retried = op.act(desk);
    const QStringList done = op.success.isEmpty() ? QStringList() : QStringList{op.success};
    QVERIFY2(retried.errors.isEmpty() && retried.infos == done,
             qPrintable(retried.errors.join(u'|')));
    if (fault == kAfterRename) // the first save did reach the disk
        QCOMPARE(linesOf(target), op.expected(op.expected(linesBefore)));
    else
        QCOMPARE(linesOf(target), op.expected(linesBefore));
    QCOMPARE(entries(dir), entriesBeforeRetry);
    QCOMPARE(retried.memory, linesOf(memoryFile));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
