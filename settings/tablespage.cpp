#include "tablespage.h"

#include "errors.h"
#include "messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace kv;

TablesPage::TablesPage(hall::Hall &hall, QWidget *parent) : QWidget(parent), m_hall(hall)
{
    setObjectName(QStringLiteral("TablesPage"));
    auto *note = new QLabel(QStringLiteral("Bir masa eklemek ya da son masayı silmek başka hiçbir "
                                           "masanın hesabına ve extralarına dokunmaz. Bütün "
                                           "masaları baştan kurmak için: Masa Oluştur."),
                            this);
    note->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("tableList"));
    m_list->setAccessibleName(QStringLiteral("Masalar"));
    m_add = new QPushButton(QStringLiteral("Masa E&kle"), this);
    m_add->setObjectName(QStringLiteral("addTable"));
    m_remove = new QPushButton(QStringLiteral("Son Masayı Si&l"), this);
    m_remove->setObjectName(QStringLiteral("removeTable"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_add, &QPushButton::clicked, this, [this] { guard([this] { addClick(); }); });
    connect(m_remove, &QPushButton::clicked, this, [this] { guard([this] { removeClick(); }); });
    connect(&m_hall, &hall::Hall::tablesChanged, this, &TablesPage::refresh);
    connect(&m_hall, &hall::Hall::tableChanged, this, &TablesPage::refresh);
}

void TablesPage::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void TablesPage::refresh()
{
    // Only what is seen: the floor changes every moment of the evening.
    if (!isVisible())
        return;
    m_list->clear();
    for (int t = 0; t < m_hall.tableCount(); ++t) {
        QString text = m_hall.tableName(t);
        if (m_hall.hasAccount(t))
            text += QStringLiteral(" · açık");
        else if (m_hall.bookedOn(t).count > 0)
            text += QStringLiteral(" · extralar var");
        m_list->addItem(text);
    }
    m_list->setCurrentRow(m_list->count() - 1);
}

std::optional<hall::Approval> TablesPage::approved()
{
    return approve ? approve(QStringLiteral("create_tables")) : m_hall.noneAsked();
}

void TablesPage::addClick()
{
    const std::optional<hall::Approval> approval = approved();
    if (!approval)
        return;
    m_hall.addTable();
}

void TablesPage::removeClick()
{
    if (const QString why = m_hall.lastTableProblem(); !why.isEmpty())
        throwError(why);
    if (!messages::ask(
            QStringLiteral("%1 silinsin mi?").arg(m_hall.tableName(m_hall.tableCount() - 1))))
        return;
    const std::optional<hall::Approval> approval = approved();
    if (!approval)
        return;
    m_hall.removeLastTable();
}
