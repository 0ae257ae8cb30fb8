#pragma once

#include <QDialog>

class QPlainTextEdit;
class QToolButton;

namespace Ui {
class TForm4;
}

// The planned-features window: a fixed text about a table-side client program that does not
// exist yet. Created once and only hidden on closing.
class TForm4 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;

    // The designer's controls: the text and "Tamam".
    QPlainTextEdit *Memo1() const;
    QToolButton *SpeedButton1() const;

    void SpeedButton1Click();

private:
    Ui::TForm4 *m_ui;
};
