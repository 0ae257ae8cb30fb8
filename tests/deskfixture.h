#pragma once

#include "testsupport.h"

#include "Unit1.h"
#include "exstra.h"
#include "recordlist.h"
#include "startup.h"
#include "trayservice.h"
#include "ucretsecimi.h"
#include "ui_Unit1.h"
#include "ui_feepanel.h"

#include <QDialog>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>

// A desk over a temporary data directory: record files are written first, then the windows
// are created as at a real start.
struct Desk
{
    TestEnvironment env;
    kv::Paths paths{env.dataDir()};
    kv::Forms forms;

    TForm1 *form() const { return forms.Form1.get(); }
    Ui::TForm1 *ui() const { return forms.Form1->ui; }
    Ui::FeePanel *panel() const { return forms.Form1->feePanel(); }

    void writeLines(const QString &path, const QStringList &lines) const
    {
        QDir().mkpath(env.dataDir() + QStringLiteral("/Masa Extraları"));
        kv::RecordList(lines).save(path);
    }
    QStringList readLines(const QString &path) const
    {
        kv::RecordList list;
        list.load(path);
        return list.lines();
    }
    // Settings with the given lines changed, a register with `tables` tables.
    void prepare(int tables, const QMap<int, QString> &settings = {},
                 const QMap<int, QString> &reg = {}, const QStringList &catalogue = {})
    {
        QStringList s = kv::defaultSettings();
        for (auto it = settings.begin(); it != settings.end(); ++it)
            s[it.key()] = it.value();
        QStringList r = kv::defaultRegister();
        r[0] = QString::number(tables);
        for (auto it = reg.begin(); it != reg.end(); ++it)
            r[it.key()] = it.value();
        writeLines(paths.settingsFile(), s);
        writeLines(paths.registerFile(), r);
        writeLines(paths.catalogueFile(), catalogue);
    }
    void start() { forms = kv::createForms(paths); }

    // Handlers are called inside the guard, as the window calls them.
    template <class F> void run(F &&handler) { kv::guard(std::forward<F>(handler)); }
    // The selected table's booked extras as the hall holds them; none without a table.
    QStringList booked() const
    {
        const int table = form()->selectedTable();
        return table < 0 || !form()->hall().bookedKnown(table)
                   ? QStringList()
                   : form()->hall().booked(table).lines();
    }
    void select(int table)
    {
        ui()->ListBox2->setCurrentRow(table);
        run([this] { form()->ListBox2Click(); });
    }
};

// A notification area that records what it is asked and lets the test click the icon.
class FakeTray : public kv::TrayService
{
public:
    bool available = true;
    QStringList calls;
    QStringList filesAtAdd; // what the data directory held when the icon appeared
    QString dataDir;
    std::map<int, kv::TrayIconData> shown;

    bool isAvailable() const override { return available; }
    bool add(const kv::TrayIconData &d) override
    {
        calls << QStringLiteral("add %1").arg(d.tip);
        filesAtAdd = QDir(dataDir).entryList(QDir::Files, QDir::Name);
        shown[d.id] = d;
        return true;
    }
    bool modify(const kv::TrayIconData &d) override
    {
        calls << QStringLiteral("modify %1").arg(d.tip);
        return shown.count(d.id) != 0;
    }
    bool remove(const kv::TrayIconData &d) override
    {
        calls << QStringLiteral("remove");
        return shown.erase(d.id) != 0;
    }
    void fire(kv::TrayAction action)
    {
        const kv::TrayIconData d = shown.begin()->second;
        d.window->trayMessage(d.callbackMessage, d.id, action, QPoint(20, 20));
    }
};

inline QStringList items(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Runs steps inside a modal window's own event loop, one per turn of the loop while the
// window is open. A window still open after the last step is cancelled, so no test hangs.
class ModalDriver
{
public:
    ModalDriver(QDialog *dialog, QList<std::function<void()>> steps = {})
        : m_dialog(dialog), m_steps(std::move(steps))
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
        m_timer.start();
    }

    bool sawOpen = false;  // the window was shown while the driver ran
    bool leftOpen = false; // it was still open after the last step

private:
    void tick()
    {
        if (!m_dialog->isVisible()) {
            if (sawOpen)
                m_timer.stop();
            return;
        }
        sawOpen = true;
        if (m_next < m_steps.size()) {
            kv::guard(m_steps.at(m_next++));
            return;
        }
        leftOpen = true;
        m_dialog->reject();
    }

    QDialog *m_dialog;
    QList<std::function<void()>> m_steps;
    qsizetype m_next = 0;
    QTimer m_timer;
};
