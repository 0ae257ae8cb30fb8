#pragma once

#include <QDialog>

class QListWidget;

namespace Ui {
class TForm6;
}

// The fee entry window: the operator types a new fee for the settings window's fee list.
class TForm6 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm6(QWidget *parent = nullptr);
    ~TForm6() override;

    // The settings window's fee list, which "Tamam" adds to.
    void setFeeList(QListWidget *list) { m_feeList = list; }

    void paraChange();
    void SpeedButton1Click(); // "Tamam"
    void SpeedButton2Click(); // "İptal"

private:
    Ui::TForm6 *ui;
    QListWidget *m_feeList = nullptr;
};
