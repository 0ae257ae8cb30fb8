#pragma once

#include <QDialog>

namespace Ui {
class TForm7;
}
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

// The fee selection window: the operator picks one fee of the fee list. The caller clears
// the cancel flag CheckBox1 before showing it and tests it afterwards.
class TForm7 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm7(QWidget *parent = nullptr);
    ~TForm7() override;

    // Replaces the list by the fee list's lines; no line is selected afterwards. The choice is
    // the selected line when the cancel flag is off.
    void setFees(const QStringList &fees);

    void ListBox1Click();
    void ListBox1DblClick();
    void SpeedButton1Click();
    void FormClose();

    QListWidget *ListBox1;
    QLineEdit *Edit1;
    QCheckBox *CheckBox1; // cancel flag, never shown

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;
    void reject() override;

private:
    Ui::TForm7 *ui;
};
