#include "timecorrection.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TimeCorrection::TimeCorrection(const QString &about, const QDateTime &start, const QDateTime &now,
                               QWidget *parent)
    : QDialog(parent), m_byMinutes(new QRadioButton(QStringLiteral("&Dakika ekle ya da düş:"))),
      m_byStart(new QRadioButton(QStringLiteral("&Başlangıcı değiştir:"))), m_minutes(new QSpinBox),
      m_start(new QDateTimeEdit), m_reason(new QLineEdit), m_buttons(new QDialogButtonBox),
      m_was(start)
{
    setObjectName(QStringLiteral("SureDuzelt"));
    setWindowTitle(QStringLiteral("Süre Düzelt"));
    m_byMinutes->setObjectName(QStringLiteral("ByMinutes"));
    m_byStart->setObjectName(QStringLiteral("ByStart"));
    m_minutes->setObjectName(QStringLiteral("Minutes"));
    m_start->setObjectName(QStringLiteral("Start"));
    m_reason->setObjectName(QStringLiteral("Reason"));
    m_minutes->setRange(-24 * 60, 24 * 60);
    m_minutes->setSuffix(QStringLiteral(" dk"));
    m_minutes->setToolTip(QStringLiteral("Eklenecek dakika; düşmek için eksi yazın (-10)"));
    m_start->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    m_start->setDateTime(start);
    m_start->setMaximumDateTime(now);
    m_reason->setPlaceholderText(QStringLiteral("Örn. misafir 10 dakika geç oturdu"));
    m_reason->setMaxLength(200);
    m_reason->setMinimumWidth(260);
    m_byMinutes->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow(m_byMinutes, m_minutes);
    form->addRow(m_byStart, m_start);
    auto *reasonLabel = new QLabel(QStringLiteral("&Neden:"));
    reasonLabel->setBuddy(m_reason);
    form->addRow(reasonLabel, m_reason);
    m_buttons->addButton(QStringLiteral("Tamam"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("Ok"));
    m_buttons->addButton(QStringLiteral("Vazgeç"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(about);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    layout->addLayout(form);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Typing in a field chooses its way.
    connect(m_minutes, &QSpinBox::valueChanged, this, [this] {
        m_byMinutes->setChecked(true);
        check();
    });
    connect(m_start, &QDateTimeEdit::dateTimeChanged, this, [this] {
        m_byStart->setChecked(true);
        check();
    });
    connect(m_byMinutes, &QRadioButton::toggled, this, &TimeCorrection::check);
    connect(m_reason, &QLineEdit::textChanged, this, &TimeCorrection::check);
    m_minutes->setFocus();
    check();
}

bool TimeCorrection::setsStart() const
{
    return m_byStart->isChecked();
}

qint64 TimeCorrection::minutes() const
{
    return m_minutes->value();
}

QDateTime TimeCorrection::start() const
{
    return m_start->dateTime();
}

QString TimeCorrection::reason() const
{
    return m_reason->text().trimmed();
}

void TimeCorrection::check()
{
    // Nothing to do, or no reason: "Tamam" waits.
    const bool changes =
        setsStart() ? m_start->dateTime().toSecsSinceEpoch() / 60 != m_was.toSecsSinceEpoch() / 60
                    : minutes() != 0;
    m_buttons->buttons().first()->setEnabled(changes && !reason().isEmpty());
}
