#include "messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace kv::messages {

namespace {
Recorder *s_recorder = nullptr;

QWidget *boxParent()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w)
        w = QApplication::activeWindow();
    return w;
}

const QString title()
{
    return QStringLiteral("Kelvora");
}
} // namespace

void setRecorder(Recorder *recorder)
{
    s_recorder = recorder;
}

Recorder *recorder()
{
    return s_recorder;
}

void inform(const QString &text)
{
    if (s_recorder) {
        s_recorder->infos << text;
        if (s_recorder->onInfo)
            s_recorder->onInfo(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, title(), text, QMessageBox::Ok, boxParent());
    box.exec();
}

void showError(const QString &text)
{
    if (s_recorder) {
        s_recorder->errors << text;
        return;
    }
    QMessageBox box(QMessageBox::Critical, title(), text, QMessageBox::Ok, boxParent());
    box.exec();
}

bool ask(const QString &text)
{
    if (s_recorder) {
        s_recorder->questions << text;
        return s_recorder->answers.isEmpty() ? s_recorder->defaultAnswer
                                             : s_recorder->answers.takeFirst();
    }
    QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::NoButton, boxParent());
    QPushButton *yes = box.addButton(QStringLiteral("Evet"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Hayır"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace kv::messages
