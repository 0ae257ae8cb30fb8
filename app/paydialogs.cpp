#include "paydialogs.h"

#include "floor.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringListModel>
#include <QVBoxLayout>

using namespace kv;

namespace {
constexpr qint64 kMaxAmount = 100000000;

QLineEdit *reasonEdit(const QString &reason)
{
    auto *edit = new QLineEdit(reason);
    edit->setObjectName(QStringLiteral("Reason"));
    edit->setMaxLength(200);
    edit->setMinimumWidth(260);
    return edit;
}

QDialogButtonBox *okCancel(QDialog *dialog, const QString &ok = QStringLiteral("Tamam"))
{
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(ok, QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("Ok"));
    buttons->addButton(QStringLiteral("Vazgeç"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QListWidget *tickList(const QList<PayItem> &items)
{
    auto *list = new QListWidget;
    list->setObjectName(QStringLiteral("Items"));
    for (const PayItem &p : items) {
        auto *item = new QListWidgetItem(
            QStringLiteral("%1 · %2").arg(p.text, counter::amountText(p.amount)), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(p.ticked ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, p.key);
        item->setData(Qt::UserRole + 1, p.amount);
    }
    list->setMinimumHeight(qMin(8, int(items.size()) + 1) * 22);
    return list;
}

QList<int> tickedKeys(const QListWidget *list)
{
    QList<int> keys;
    for (int r = 0; r < list->count(); ++r)
        if (list->item(r)->checkState() == Qt::Checked)
            keys << list->item(r)->data(Qt::UserRole).toInt();
    return keys;
}
} // namespace

void setUpCustomerBox(QComboBox *box, const QStringList &customers)
{
    box->clear();
    box->addItems(customers);
    box->setCurrentIndex(-1);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->lineEdit()->setPlaceholderText(QStringLiteral("Müşterinin adı"));
    box->lineEdit()->setMaxLength(80);
    // One completer a box, its list renewed: a window filled at every bill keeps no others.
    auto *model = box->findChild<QStringListModel *>(QStringLiteral("customerNames"));
    if (!model) {
        model = new QStringListModel(box);
        model->setObjectName(QStringLiteral("customerNames"));
    }
    model->setStringList(customers);
    if (!box->completer() || box->completer()->model() != model) {
        auto *completer = new QCompleter(model, box);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCompletionMode(QCompleter::PopupCompletion);
        box->setCompleter(completer);
    }
}

DiscountDialog::DiscountDialog(const counter::Discount &now, qint64 base, QWidget *parent)
    : QDialog(parent), m_byAmount(new QRadioButton(QStringLiteral("&Tutar:"))),
      m_byPercent(new QRadioButton(QStringLiteral("&Yüzde:"))), m_amount(new QSpinBox),
      m_percent(new QSpinBox), m_reason(reasonEdit(now.reason)), m_buttons(okCancel(this))
{
    setObjectName(QStringLiteral("Indirim"));
    setWindowTitle(QStringLiteral("İndirim"));
    m_amount->setObjectName(QStringLiteral("Amount"));
    m_percent->setObjectName(QStringLiteral("Percent"));
    m_amount->setRange(0, int(qMin<qint64>(base, kMaxAmount)));
    m_amount->setSuffix(QStringLiteral(" TL"));
    m_percent->setRange(0, 100);
    m_percent->setPrefix(QStringLiteral("%"));
    m_reason->setPlaceholderText(QStringLiteral("Örn. düzenli müşteri"));
    if (now.percent > 0) {
        m_percent->setValue(now.percent);
        m_byPercent->setChecked(true);
    } else {
        m_amount->setValue(int(now.amount));
        m_byAmount->setChecked(true);
    }
    auto *form = new QFormLayout;
    form->addRow(m_byAmount, m_amount);
    form->addRow(m_byPercent, m_percent);
    auto *reasonLabel = new QLabel(QStringLiteral("&Neden:"));
    reasonLabel->setBuddy(m_reason);
    form->addRow(reasonLabel, m_reason);
    auto *layout = new QVBoxLayout(this);
    auto *about = new QLabel(QStringLiteral("İndirim uygulanacak tutar: %1\n%2")
                                 .arg(counter::amountText(base), counter::discountRuleText()));
    about->setWordWrap(true);
    layout->addWidget(about);
    layout->addLayout(form);
    layout->addWidget(m_buttons);
    connect(m_amount, &QSpinBox::valueChanged, this, [this] {
        m_byAmount->setChecked(true);
        check();
    });
    connect(m_percent, &QSpinBox::valueChanged, this, [this] {
        m_byPercent->setChecked(true);
        check();
    });
    connect(m_byAmount, &QRadioButton::toggled, this, &DiscountDialog::check);
    // Alt+T or Alt+Y chooses the way and goes to its figure, ready to be typed over.
    for (auto [radio, spin] : {std::pair{m_byAmount, m_amount}, std::pair{m_byPercent, m_percent}})
        connect(radio, &QRadioButton::clicked, spin, [spin = spin] {
            spin->setFocus();
            spin->selectAll();
        });
    connect(m_reason, &QLineEdit::textChanged, this, &DiscountDialog::check);
    (now.percent > 0 ? m_percent : m_amount)->setFocus();
    check();
}

counter::Discount DiscountDialog::discount() const
{
    if (m_byPercent->isChecked())
        return {0, m_percent->value(), m_reason->text().trimmed()};
    return {m_amount->value(), 0, m_reason->text().trimmed()};
}

void DiscountDialog::check()
{
    // No discount at all needs no reason: it takes the discount off.
    const counter::Discount d = discount();
    const bool none = d.amount == 0 && d.percent == 0;
    m_buttons->buttons().first()->setEnabled(none || !d.reason.isEmpty());
}

TreatDialog::TreatDialog(const QList<PayItem> &items, const QString &reason, QWidget *parent)
    : QDialog(parent), m_items(tickList(items)), m_reason(reasonEdit(reason)),
      m_buttons(okCancel(this))
{
    setObjectName(QStringLiteral("Ikram"));
    setWindowTitle(QStringLiteral("İkram"));
    m_reason->setPlaceholderText(QStringLiteral("Örn. bekleme için özür"));
    auto *caption = new QLabel(QStringLiteral("İkram edilecek &kalemler:"));
    caption->setBuddy(m_items);
    auto *reasonLabel = new QLabel(QStringLiteral("&Neden:"));
    reasonLabel->setBuddy(m_reason);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_items);
    layout->addWidget(reasonLabel);
    layout->addWidget(m_reason);
    layout->addWidget(m_buttons);
    connect(m_items, &QListWidget::itemChanged, this, &TreatDialog::check);
    connect(m_reason, &QLineEdit::textChanged, this, &TreatDialog::check);
    m_items->setFocus();
    m_items->setCurrentRow(0);
    check();
}

QList<int> TreatDialog::ticked() const
{
    return tickedKeys(m_items);
}

QString TreatDialog::reason() const
{
    return m_reason->text().trimmed();
}

void TreatDialog::check()
{
    m_buttons->buttons().first()->setEnabled(ticked().isEmpty() || !reason().isEmpty());
}

ApartDialog::ApartDialog(const QString &about, const QList<PayItem> &extras, qint64 owed,
                         const QStringList &customers, QWidget *parent)
    : QDialog(parent), m_items(tickList(extras)), m_amount(new QSpinBox), m_customer(new QComboBox),
      m_buttons(new QDialogButtonBox)
{
    setObjectName(QStringLiteral("AyriOde"));
    setWindowTitle(QStringLiteral("Ayrı Öde"));
    m_amount->setObjectName(QStringLiteral("Amount"));
    m_customer->setObjectName(QStringLiteral("Customer"));
    m_amount->setRange(0, int(qBound<qint64>(qint64(0), owed, kMaxAmount)));
    m_amount->setSuffix(QStringLiteral(" TL"));
    m_amount->setToolTip(QStringLiteral("Extralar dışında hesaptan şimdi ödenen tutar"));
    setUpCustomerBox(m_customer, customers);
    auto *caption = new QLabel(about);
    caption->setWordWrap(true);
    auto *extrasLabel = new QLabel(QStringLiteral("Şimdi ödenecek &extralar:"));
    extrasLabel->setBuddy(m_items);
    auto *form = new QFormLayout;
    auto *amountLabel = new QLabel(QStringLiteral("Hesaptan &tutar:"));
    amountLabel->setBuddy(m_amount);
    form->addRow(amountLabel, m_amount);
    auto *customerLabel = new QLabel(QStringLiteral("&Müşteri (veresiye):"));
    customerLabel->setBuddy(m_customer);
    form->addRow(customerLabel, m_customer);
    const struct
    {
        const char *name;
        QString text;
        counter::Method method;
    } methods[] = {{"Cash", QStringLiteral("&Nakit"), counter::Method::Cash},
                   {"Card", QStringLiteral("&Kart"), counter::Method::Card},
                   {"Tab", QStringLiteral("&Veresiye"), counter::Method::Tab}};
    for (const auto &m : methods) {
        QPushButton *b = m_buttons->addButton(m.text, QDialogButtonBox::AcceptRole);
        b->setObjectName(QLatin1String(m.name));
        const counter::Method method = m.method;
        connect(b, &QPushButton::clicked, this, [this, method] { m_method = method; });
    }
    m_buttons->addButton(QStringLiteral("Vazgeç"), QDialogButtonBox::RejectRole);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    if (extras.isEmpty()) {
        m_items->hide();
        extrasLabel->hide();
    }
    layout->addWidget(extrasLabel);
    layout->addWidget(m_items);
    layout->addLayout(form);
    layout->addWidget(m_buttons);
    connect(m_items, &QListWidget::itemChanged, this, &ApartDialog::check);
    connect(m_amount, &QSpinBox::valueChanged, this, &ApartDialog::check);
    connect(m_customer, &QComboBox::editTextChanged, this, &ApartDialog::check);
    (extras.isEmpty() ? static_cast<QWidget *>(m_amount) : m_items)->setFocus();
    m_items->setCurrentRow(0);
    check();
}

QList<int> ApartDialog::ticked() const
{
    return tickedKeys(m_items);
}

qint64 ApartDialog::tickedSum() const
{
    qint64 sum = 0;
    for (int r = 0; r < m_items->count(); ++r)
        if (m_items->item(r)->checkState() == Qt::Checked)
            sum += m_items->item(r)->data(Qt::UserRole + 1).toLongLong();
    return sum;
}

qint64 ApartDialog::amount() const
{
    return m_amount->value();
}

QString ApartDialog::customer() const
{
    return m_customer->currentText().trimmed();
}

void ApartDialog::check()
{
    const bool some = tickedSum() + amount() > 0;
    const QList<QAbstractButton *> buttons = m_buttons->buttons();
    for (QAbstractButton *b : buttons) {
        if (m_buttons->buttonRole(b) != QDialogButtonBox::AcceptRole)
            continue;
        // A tab needs whose it is.
        b->setEnabled(some && (b->objectName() != QLatin1String("Tab") || !customer().isEmpty()));
    }
}
