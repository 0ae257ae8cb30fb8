#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QToolButton;

namespace Ui {
class TForm2;
}

// The about window: program icon, name and version, a picture and a fixed text. Created once
// and only hidden on closing, so every showing shows the same content.
class TForm2 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm2(QWidget *parent = nullptr);
    ~TForm2() override;

    // The designer's controls: icon, name, version, picture, text and "Tamam".
    QLabel *Image1() const;
    QLabel *Label1() const;
    QLabel *Label2() const;
    QLabel *Image2() const;
    QPlainTextEdit *Memo1() const;
    QToolButton *SpeedButton1() const;

    // Shows the window and waits until it is closed. Throws kv::RuntimeError
    // "Cannot make a visible window modal" when it is already shown without waiting; the
    // shown window then stays as it is.
    int showModalChecked();
    // Shows the window without waiting, or brings it to the front when it is shown.
    void showModeless();

    void SpeedButton1Click();

private:
    Ui::TForm2 *m_ui;
};
