#include "moneyfields.h"

#include "floor.h"
#include "messages.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

using namespace kv;

void makeAmountField(QLineEdit *field)
{
    // Nine digits keep every sum far inside what the ledger adds up.
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), field));
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

std::optional<qint64> typedAmount(const QLineEdit *field, const QString &missing)
{
    bool ok = false;
    const qint64 amount = field->text().trimmed().toLongLong(&ok);
    if (!ok) {
        messages::inform(missing);
        return std::nullopt;
    }
    return amount;
}

QString momentText(const QDateTime &moment)
{
    return moment.isValid() ? moment.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}

QString differenceText(qint64 difference)
{
    if (difference > 0)
        return QStringLiteral("+%1 fazla").arg(counter::amountText(difference));
    if (difference < 0)
        return QStringLiteral("−%1 eksik").arg(counter::amountText(-difference));
    return counter::amountText(0);
}

QString cashierText(const QString &op)
{
    return op.isEmpty() || op == QLatin1String("-") ? QStringLiteral("(kasiyer tanımlı değil)")
                                                    : op;
}
