#pragma once

#include "testsupport.h"

#include "Unit1.h"
#include "exstra.h"
#include "recordlist.h"
#include "startup.h"
#include "ucretsecimi.h"
#include "ui_Unit1.h"

#include <QListWidget>
#include <QTest>

// A desk over a temporary data directory: record files are written first, then the windows
// are created as at a real start.
struct Desk
{
    TestEnvironment env;
    kv::Paths paths{env.dataDir()};
    kv::Forms forms;

    TForm1 *form() const { return forms.Form1.get(); }
    Ui::TForm1 *ui() const { return forms.Form1->ui; }

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
    void select(int table)
    {
        ui()->ListBox2->setCurrentRow(table);
        run([this] { form()->ListBox2Click(); });
    }
};
