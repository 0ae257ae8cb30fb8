#include "messageboxes.h"

#include "brand.h"
#include "messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>

namespace kv::messages {

namespace {
QWidget *boxParent()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w)
        w = QApplication::activeWindow();
    return w;
}

const QString title()
{
    return brand::product();
}

void box(QMessageBox::Icon icon, const QString &text)
{
    QMessageBox b(icon, title(), text, QMessageBox::Ok, boxParent());
    b.exec();
}

bool question(const QString &text, bool yesFirst)
{
    QMessageBox b(QMessageBox::Question, title(), text, QMessageBox::NoButton, boxParent());
    QPushButton *yes = b.addButton(QStringLiteral("Evet"), QMessageBox::YesRole);
    QPushButton *no = b.addButton(QStringLiteral("Hayır"), QMessageBox::NoRole);
    b.setDefaultButton(yesFirst ? yes : no);
    b.setEscapeButton(no);
    b.exec();
    return b.clickedButton() == yes;
}
bool retryBox(const QString &text)
{
    QMessageBox b(QMessageBox::Critical, title(), text, QMessageBox::NoButton, boxParent());
    QPushButton *again = b.addButton(QStringLiteral("Tekrar Dene"), QMessageBox::AcceptRole);
    QPushButton *no = b.addButton(QStringLiteral("Vazgeç"), QMessageBox::RejectRole);
    b.setDefaultButton(again);
    b.setEscapeButton(no);
    b.exec();
    return b.clickedButton() == again;
}

int chooseBox(const QString &text, const QStringList &buttons, int first)
{
    QMessageBox b(QMessageBox::Question, title(), text, QMessageBox::NoButton, boxParent());
    QList<QPushButton *> pressed;
    for (qsizetype k = 0; k < buttons.size(); ++k)
        pressed << b.addButton(buttons.at(k), k + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                      : QMessageBox::AcceptRole);
    b.setDefaultButton(pressed.value(first));
    b.setEscapeButton(pressed.last());
    b.exec();
    const qsizetype k = pressed.indexOf(static_cast<QPushButton *>(b.clickedButton()));
    return k < 0 ? int(buttons.size() - 1) : int(k);
}

// The wait going on: shown once it is longer than a blink.
struct Wait
{
    QElapsedTimer since;
    QPointer<QProgressDialog> box;
};
Wait s_wait;

bool waitAgainBox(const QString &text)
{
    if (!s_wait.since.isValid())
        s_wait.since.start();
    if (!s_wait.box && s_wait.since.elapsed() > 300) {
        auto *box = new QProgressDialog(text, QStringLiteral("Vazgeç"), 0, 0, boxParent());
        box->setObjectName(QStringLiteral("LedgerWait"));
        box->setWindowTitle(title());
        box->setWindowModality(Qt::ApplicationModal);
        box->setMinimumDuration(0);
        box->show();
        s_wait.box = box;
    }
    // Before the box shows, no input may start a second action.
    QCoreApplication::processEvents(
        s_wait.box ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 20);
    return !(s_wait.box && s_wait.box->wasCanceled());
}

void waitOverBox()
{
    delete s_wait.box;
    s_wait.since.invalidate();
}
} // namespace

void useMessageBoxes()
{
    setPresenter({[](const QString &t) { box(QMessageBox::Information, t); },
                  [](const QString &t) { box(QMessageBox::Critical, t); },
                  [](const QString &t) { return question(t, false); }, retryBox, waitAgainBox,
                  waitOverBox, [](const QString &t) { return question(t, true); }, chooseBox});
}

} // namespace kv::messages
