#pragma once

#include "ledger.h"

#include <QDialog>

#include <functional>

namespace Ui {
class ShiftReportWindow;
}

// "Vardiya Raporu": what a shift saw, from its opening to its closing (or to now while it is
// open), and its drawer's count.
class ShiftReportWindow : public QDialog
{
    Q_OBJECT

public:
    explicit ShiftReportWindow(QWidget *parent = nullptr);
    ~ShiftReportWindow() override;

    // Prints the report shown.
    std::function<void(const kv::ledger::ShiftReport &report)> printReport;

    // Shows the report until the window is closed.
    void showReport(const kv::ledger::ShiftReport &report);
    static QString html(const kv::ledger::ShiftReport &report);

    Ui::ShiftReportWindow *ui;

private:
    kv::ledger::ShiftReport m_report;
};
