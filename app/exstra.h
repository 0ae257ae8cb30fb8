#pragma once

#include <QDialog>

namespace Ui {
class TForm5;
}
class QListWidget;
class TForm1;

// The extra picker: every double click books one more extra to the selected table.
class TForm5 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm5(TForm1 *desk, QWidget *parent = nullptr);
    ~TForm5() override;

    void ListBox1DblClick();
    void SpeedButton1Click();

    QListWidget *ListBox1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::TForm5 *ui;
    TForm1 *m_desk;
};
