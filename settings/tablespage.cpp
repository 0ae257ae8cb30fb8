#include "tablespage.h"

#include "errors.h"
#include "messages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace kv;

TablesPage::TablesPage(hall::Hall &hall, QWidget *parent) : QWidget(parent), m_hall(hall)
{
    setObjectName(QStringLiteral("TablesPage"));
    auto *note =
        new QLabel(QStringLiteral("Her değişiklik hemen kaydedilir ve başka hiçbir masanın "
                                  "hesabına ve extralarına dokunmaz. Bütün masaları "
                                  "baştan kurmak için: Masa Oluştur."),
                   this);
    note->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("tableList"));
    m_list->setAccessibleName(QStringLiteral("Masalar"));
    const auto button = [this](const QString &text, const char *name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_rename = button(QStringLiteral("Yeniden A&dlandır…"), "renameTable");
    m_up = button(QStringLiteral("&Yukarı"), "moveUp");
    m_down = button(QStringLiteral("&Aşağı"), "moveDown");
    m_add = button(QStringLiteral("Masa E&kle"), "addTable");
    m_remove = button(QStringLiteral("Son Masayı Si&l"), "removeTable");
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("tableKind"));
    m_kind->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *kindLabel = new QLabel(QStringLiteral("&Tür:"), this);
    kindLabel->setBuddy(m_kind);

    auto *chosenRow = new QHBoxLayout;
    chosenRow->addWidget(kindLabel);
    chosenRow->addWidget(m_kind);
    chosenRow->addStretch();
    chosenRow->addWidget(m_rename);
    chosenRow->addWidget(m_up);
    chosenRow->addWidget(m_down);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_list, 1);
    layout->addLayout(chosenRow);
    layout->addLayout(buttons);

    connect(m_add, &QPushButton::clicked, this, [this] { guard([this] { addClick(); }); });
    connect(m_remove, &QPushButton::clicked, this, [this] { guard([this] { removeClick(); }); });
    connect(m_rename, &QPushButton::clicked, this, [this] { guard([this] { renameClick(); }); });
    connect(m_up, &QPushButton::clicked, this, [this] { guard([this] { moveClick(-1); }); });
    connect(m_down, &QPushButton::clicked, this, [this] { guard([this] { moveClick(1); }); });
    connect(m_kind, &QComboBox::activated, this, [this](int index) {
        guard([&] { kindChosen(index); });
        showChosen(); // a refusal shows the kind the table still has
    });
    connect(m_list, &QListWidget::currentRowChanged, this, &TablesPage::showChosen);
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
    const int keep = m_select >= 0 ? m_select : m_list->currentRow();
    m_select = -1;
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (int t = 0; t < m_hall.tableCount(); ++t) {
        QString text = m_hall.tableName(t);
        if (const hall::TableKind *kind = m_hall.kindOf(t))
            text += QStringLiteral(" · ") + kind->name;
        if (m_hall.hasAccount(t))
            text += QStringLiteral(" · açık");
        else if (m_hall.bookedOn(t).count > 0)
            text += QStringLiteral(" · extralar var");
        m_list->addItem(text);
    }
    const QSignalBlocker quietKinds(m_kind);
    m_kind->clear();
    m_kind->addItem(QStringLiteral("Tür yok (ayarlardaki ücret)"));
    for (const hall::TableKind &kind : m_hall.tablesLayout().kinds)
        m_kind->addItem(kind.name);
    m_list->setCurrentRow(keep >= 0 && keep < m_list->count() ? keep : m_list->count() - 1);
    showChosen();
}

int TablesPage::chosen() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < m_hall.tableCount() ? row : -1;
}

void TablesPage::showChosen()
{
    const int t = chosen();
    const bool editable = m_hall.layoutProblem().isEmpty();
    const QSignalBlocker quiet(m_kind);
    int kind = -1;
    if (t >= 0 && t < m_hall.tablesLayout().tables.size())
        kind = m_hall.tablesLayout().tables.at(t).kind;
    m_kind->setCurrentIndex(kind + 1);
    for (QWidget *w : std::initializer_list<QWidget *>{m_kind, m_rename})
        w->setEnabled(t >= 0 && editable);
    m_up->setEnabled(t > 0 && editable);
    m_down->setEnabled(t >= 0 && t + 1 < m_hall.tableCount() && editable);
}

std::optional<hall::Approval> TablesPage::approved(const QString &action)
{
    return approve ? approve(action) : m_hall.noneAsked();
}

void TablesPage::change(const QString &action, int select, const std::function<void()> &verb)
{
    const std::optional<hall::Approval> approval = approved(action);
    if (!approval)
        return;
    const auto reset = qScopeGuard([this] { m_select = -1; });
    m_select = select;
    verb();
}

void TablesPage::addClick()
{
    change(QStringLiteral("create_tables"), m_hall.tableCount(), [this] { m_hall.addTable(); });
}

void TablesPage::removeClick()
{
    if (const QString why = m_hall.lastTableProblem(); !why.isEmpty())
        throwError(why);
    if (!messages::ask(
            QStringLiteral("%1 silinsin mi?").arg(m_hall.tableName(m_hall.tableCount() - 1))))
        return;
    const std::optional<hall::Approval> approval = approved(QStringLiteral("create_tables"));
    if (!approval)
        return;
    m_hall.removeLastTable();
}

void TablesPage::renameClick()
{
    const int t = chosen();
    if (t < 0)
        return;
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("renameDialog"));
    ask.setWindowTitle(QStringLiteral("Yeniden Adlandır"));
    ask.setLabelText(QStringLiteral("%1 masasının yeni adı:").arg(m_hall.tableName(t)));
    ask.setTextValue(m_hall.tableName(t));
    ask.setOkButtonText(QStringLiteral("Tamam"));
    ask.setCancelButtonText(QStringLiteral("Vazgeç"));
    if (ask.exec() != QDialog::Accepted || ask.textValue() == m_hall.tableName(t))
        return;
    change(QStringLiteral("edit_tables"), t, [&] { m_hall.renameTable(t, ask.textValue()); });
}

void TablesPage::kindChosen(int index)
{
    const int t = chosen();
    if (t < 0)
        return;
    const int kind = index - 1;
    if (kind ==
        (t < m_hall.tablesLayout().tables.size() ? m_hall.tablesLayout().tables.at(t).kind : -1))
        return;
    change(QStringLiteral("edit_tables"), t, [&] { m_hall.setTableKind(t, kind); });
}

void TablesPage::moveClick(int by)
{
    const int t = chosen();
    if (t < 0)
        return;
    // The table goes along: its new row is chosen.
    change(QStringLiteral("edit_tables"), t + by, [&] { m_hall.moveTable(t, by); });
}
