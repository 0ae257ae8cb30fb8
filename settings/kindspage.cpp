#include "kindspage.h"

#include "errors.h"
#include "messages.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <limits>

using namespace kv;

namespace {
QSpinBox *feeBox(QWidget *parent, const char *name)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(0, std::numeric_limits<int>::max());
    box->setSuffix(QStringLiteral(" TL"));
    box->setGroupSeparatorShown(true);
    // As wide as the largest fee, not as the window.
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("2.147.483.647 TL")) +
                         box->fontMetrics().height() * 3);
    return box;
}

QTimeEdit *timeBox(QWidget *parent, const char *name)
{
    auto *box = new QTimeEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setDisplayFormat(QStringLiteral("HH:mm"));
    return box;
}
} // namespace

KindsPage::KindsPage(hall::Hall &hall, QWidget *parent) : QWidget(parent), m_hall(hall)
{
    setObjectName(QStringLiteral("KindsPage"));
    const auto button = [this](const QString &text, const char *name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("kindList"));
    m_list->setAccessibleName(QStringLiteral("Masa türleri"));
    auto *listLabel = new QLabel(QStringLiteral("&Türler:"), this);
    listLabel->setBuddy(m_list);
    m_addKind = button(QStringLiteral("Tür E&kle"), "addKind");
    m_removeKind = button(QStringLiteral("Türü Çıka&r"), "removeKind");

    m_kindBox = new QWidget(this);
    m_name = new QLineEdit(m_kindBox);
    m_name->setObjectName(QStringLiteral("kindName"));
    m_fee = feeBox(m_kindBox, "kindFee");
    m_hasMinimum = new QCheckBox(QStringLiteral("E&n az ücret:"), m_kindBox);
    m_hasMinimum->setObjectName(QStringLiteral("kindHasMinimum"));
    m_minimum = feeBox(m_kindBox, "kindMinimum");
    m_minimum->setAccessibleName(QStringLiteral("En az ücret"));
    m_bands = new QTableWidget(0, 2, m_kindBox);
    m_bands->setObjectName(QStringLiteral("bandTable"));
    m_bands->setAccessibleName(QStringLiteral("Zaman dilimleri"));
    m_bands->setHorizontalHeaderLabels({QStringLiteral("Dilim"), QStringLiteral("Saat ücreti")});
    m_bands->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_bands->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_bands->verticalHeader()->hide();
    m_bands->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_bands->setSelectionMode(QAbstractItemView::SingleSelection);
    m_bands->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *bandsLabel = new QLabel(QStringLiteral("&Zaman dilimleri (dışında kalan süre saat "
                                                 "ücretiyle):"),
                                  m_kindBox);
    bandsLabel->setBuddy(m_bands);
    m_addBand = button(QStringLiteral("Dilim &Ekle"), "addBand");
    m_removeBand = button(QStringLiteral("Dilimi &Sil"), "removeBand");

    m_bandBox = new QWidget(m_kindBox);
    m_bandBox->setObjectName(QStringLiteral("bandEditor"));
    auto *days = new QHBoxLayout;
    days->setSpacing(2);
    const char *const dayNames[] = {"Pzt", "Sal", "Çar", "Per", "Cum", "Cmt", "Paz"};
    for (int d = 0; d < 7; ++d) {
        auto *day = new QCheckBox(QString::fromUtf8(dayNames[d]), m_bandBox);
        day->setObjectName(QStringLiteral("day%1").arg(d + 1));
        m_days << day;
        days->addWidget(day);
    }
    days->addStretch();
    m_from = timeBox(m_bandBox, "bandFrom");
    m_from->setAccessibleName(QStringLiteral("Başlangıç"));
    m_to = timeBox(m_bandBox, "bandTo");
    m_to->setAccessibleName(QStringLiteral("Bitiş"));
    m_bandFee = feeBox(m_bandBox, "bandFee");
    m_bandFee->setAccessibleName(QStringLiteral("Dilimin saat ücreti"));
    auto *times = new QHBoxLayout;
    times->addWidget(new QLabel(QStringLiteral("Saat:"), m_bandBox));
    times->addWidget(m_from);
    times->addWidget(new QLabel(QStringLiteral("–"), m_bandBox));
    times->addWidget(m_to);
    times->addSpacing(8);
    times->addWidget(new QLabel(QStringLiteral("Saat ücreti:"), m_bandBox));
    times->addWidget(m_bandFee);
    times->addStretch();
    auto *bandLayout = new QVBoxLayout(m_bandBox);
    bandLayout->setContentsMargins(0, 0, 0, 0);
    bandLayout->setSpacing(2);
    bandLayout->addLayout(days);
    bandLayout->addLayout(times);

    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    auto *nameLabel = new QLabel(QStringLiteral("&Adı:"), m_kindBox);
    nameLabel->setBuddy(m_name);
    auto *feeLabel = new QLabel(QStringLiteral("Saat ü&creti:"), m_kindBox);
    feeLabel->setBuddy(m_fee);
    form->addRow(nameLabel, m_name);
    form->addRow(feeLabel, m_fee);
    form->addRow(m_hasMinimum, m_minimum);
    auto *bandButtons = new QVBoxLayout;
    bandButtons->addWidget(m_addBand);
    bandButtons->addWidget(m_removeBand);
    bandButtons->addStretch();
    auto *bandRow = new QHBoxLayout;
    bandRow->addWidget(m_bands, 1);
    bandRow->addLayout(bandButtons);
    auto *kindLayout = new QVBoxLayout(m_kindBox);
    kindLayout->setContentsMargins(0, 0, 0, 0);
    kindLayout->addLayout(form);
    kindLayout->addWidget(bandsLabel);
    kindLayout->addLayout(bandRow, 1);
    kindLayout->addWidget(m_bandBox);

    m_save = button(QStringLiteral("Kay&det"), "saveKinds");
    auto *left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(m_list, 1);
    left->addWidget(m_addKind);
    left->addWidget(m_removeKind);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(m_kindBox, 1);
    auto *bottom = new QHBoxLayout;
    auto *note = new QLabel(QStringLiteral("Bir türün ücreti, kayıttan sonra açılan masalara "
                                           "uygulanır."),
                            this);
    note->setWordWrap(true);
    bottom->addWidget(note, 1);
    bottom->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);
    m_list->setFixedWidth(m_addKind->sizeHint().width() * 3 / 2);

    const auto on = [this](auto *sender, auto signal, void (KindsPage::*handler)()) {
        connect(sender, signal, this, [this, handler] { guard([&] { (this->*handler)(); }); });
    };
    on(m_addKind, &QPushButton::clicked, &KindsPage::addKindClick);
    on(m_removeKind, &QPushButton::clicked, &KindsPage::removeKindClick);
    on(m_addBand, &QPushButton::clicked, &KindsPage::addBandClick);
    on(m_removeBand, &QPushButton::clicked, &KindsPage::removeBandClick);
    on(m_save, &QPushButton::clicked, &KindsPage::saveClick);
    connect(m_list, &QListWidget::currentRowChanged, this, &KindsPage::showKind);
    connect(m_bands, &QTableWidget::currentCellChanged, this, &KindsPage::showBand);
    connect(m_name, &QLineEdit::textEdited, this, &KindsPage::takeKind);
    connect(m_fee, &QSpinBox::valueChanged, this, &KindsPage::takeKind);
    connect(m_minimum, &QSpinBox::valueChanged, this, &KindsPage::takeKind);
    connect(m_hasMinimum, &QCheckBox::toggled, this, &KindsPage::takeKind);
    for (QCheckBox *day : std::as_const(m_days))
        connect(day, &QCheckBox::toggled, this, &KindsPage::takeBand);
    connect(m_from, &QTimeEdit::timeChanged, this, &KindsPage::takeBand);
    connect(m_to, &QTimeEdit::timeChanged, this, &KindsPage::takeBand);
    connect(m_bandFee, &QSpinBox::valueChanged, this, &KindsPage::takeBand);
    reload();
}

void KindsPage::reload()
{
    m_kinds = m_hall.tablesLayout().kinds;
    m_origins.clear();
    for (int k = 0; k < m_kinds.size(); ++k)
        m_origins << k;
    showKinds();
}

hall::TableKind *KindsPage::kind()
{
    const int k = m_list->currentRow();
    return k >= 0 && k < m_kinds.size() ? &m_kinds[k] : nullptr;
}

counter::RateBand *KindsPage::band()
{
    hall::TableKind *k = kind();
    const int b = m_bands->currentRow();
    return k && b >= 0 && b < k->bands.size() ? &k->bands[b] : nullptr;
}

void KindsPage::showKinds()
{
    const int keep = m_list->currentRow();
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (const hall::TableKind &k : std::as_const(m_kinds))
            m_list->addItem(k.name);
        m_list->setCurrentRow(qBound(-1, keep < 0 ? 0 : keep, int(m_kinds.size()) - 1));
    }
    showKind();
}

void KindsPage::showKind()
{
    const hall::TableKind *k = kind();
    m_kindBox->setEnabled(k);
    m_removeKind->setEnabled(k);
    m_filling = true;
    m_name->setText(k ? k->name : QString());
    m_fee->setValue(k ? int(k->fee) : 0);
    m_hasMinimum->setChecked(k && k->minimum);
    m_minimum->setValue(k ? int(k->minimum.value_or(0)) : 0);
    m_minimum->setEnabled(k && k->minimum);
    {
        const QSignalBlocker quiet(m_bands);
        m_bands->setRowCount(k ? int(k->bands.size()) : 0);
        for (int b = 0; b < m_bands->rowCount(); ++b)
            showBandRow(b);
        m_bands->setCurrentCell(m_bands->rowCount() > 0 ? 0 : -1, 0);
    }
    m_filling = false;
    showBand();
}

void KindsPage::showBandRow(int row)
{
    const counter::RateBand &b = kind()->bands.at(row);
    m_bands->setItem(row, 0, new QTableWidgetItem(counter::bandText(b)));
    m_bands->setItem(row, 1, new QTableWidgetItem(QStringLiteral("%1 TL").arg(b.fee)));
}

void KindsPage::showBand()
{
    const counter::RateBand *b = band();
    m_bandBox->setEnabled(b);
    m_removeBand->setEnabled(b);
    m_filling = true;
    for (int d = 0; d < 7; ++d)
        m_days[d]->setChecked(b && ((b->days >> d) & 1));
    m_from->setTime(b ? b->from : QTime(6, 0));
    m_to->setTime(b ? b->to : QTime(6, 0));
    m_bandFee->setValue(b ? int(b->fee) : 0);
    m_filling = false;
}

void KindsPage::takeKind()
{
    hall::TableKind *k = kind();
    m_minimum->setEnabled(m_hasMinimum->isChecked());
    if (m_filling || !k)
        return;
    k->name = m_name->text();
    k->fee = m_fee->value();
    k->minimum =
        m_hasMinimum->isChecked() ? std::optional<qint64>(m_minimum->value()) : std::nullopt;
    m_list->currentItem()->setText(k->name);
}

void KindsPage::takeBand()
{
    counter::RateBand *b = band();
    if (m_filling || !b)
        return;
    b->days = 0;
    for (int d = 0; d < 7; ++d)
        if (m_days[d]->isChecked())
            b->days |= quint8(1 << d);
    b->from = m_from->time();
    b->to = m_to->time();
    b->fee = m_bandFee->value();
    showBandRow(m_bands->currentRow());
}

void KindsPage::addKindClick()
{
    QString name = QStringLiteral("Yeni tür");
    for (int n = 2;; ++n) {
        bool taken = false;
        for (const hall::TableKind &k : std::as_const(m_kinds))
            taken = taken || k.name.compare(name, Qt::CaseInsensitive) == 0;
        if (!taken)
            break;
        name = QStringLiteral("Yeni tür %1").arg(n);
    }
    hall::TableKind k;
    k.name = name;
    k.fee = strToInt(m_hall.unitFeeLine());
    m_kinds << k;
    m_origins << -1;
    m_list->setCurrentRow(-1);
    showKinds();
    m_list->setCurrentRow(int(m_kinds.size()) - 1);
    m_name->setFocus();
    m_name->selectAll();
}

void KindsPage::removeKindClick()
{
    const int k = m_list->currentRow();
    if (!kind())
        return;
    m_kinds.removeAt(k);
    m_origins.removeAt(k);
    showKinds();
}

void KindsPage::addBandClick()
{
    hall::TableKind *k = kind();
    if (!k)
        return;
    k->bands << counter::RateBand{0x1f, QTime(10, 0), QTime(17, 0), k->fee};
    const int row = int(k->bands.size()) - 1;
    const QSignalBlocker quiet(m_bands);
    m_bands->setRowCount(row + 1);
    showBandRow(row);
    m_bands->setCurrentCell(row, 0);
    showBand();
}

void KindsPage::removeBandClick()
{
    hall::TableKind *k = kind();
    const int row = m_bands->currentRow();
    if (!band())
        return;
    k->bands.removeAt(row);
    const QSignalBlocker quiet(m_bands);
    m_bands->removeRow(row);
    m_bands->setCurrentCell(std::min(row, m_bands->rowCount() - 1), 0);
    showBand();
}

void KindsPage::saveClick()
{
    const std::optional<hall::Approval> approval =
        approve ? approve(QStringLiteral("edit_tables")) : m_hall.noneAsked();
    if (!approval)
        return;
    m_hall.saveKinds(m_kinds, m_origins);
    reload();
}
