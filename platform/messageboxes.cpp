#include "messageboxes.h"

#include "brand.h"
#include "messages.h"

#include <QApplication>
#include <QMessageBox>
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

bool question(const QString &text)
{
    QMessageBox b(QMessageBox::Question, title(), text, QMessageBox::NoButton, boxParent());
    QPushButton *yes = b.addButton(QStringLiteral("Evet"), QMessageBox::YesRole);
    QPushButton *no = b.addButton(QStringLiteral("Hayır"), QMessageBox::NoRole);
    b.setDefaultButton(no);
    b.setEscapeButton(no);
    b.exec();
    return b.clickedButton() == yes;
}
} // namespace

void useMessageBoxes()
{
    setPresenter({[](const QString &t) { box(QMessageBox::Information, t); },
                  [](const QString &t) { box(QMessageBox::Critical, t); }, question});
}

} // namespace kv::messages
