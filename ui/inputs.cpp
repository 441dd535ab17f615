#include "ui/inputs.h"

#include <QFocusEvent>

#include "ledger/gbk.h"
#include "ledger/value_texts.h"

namespace ui {

GbkLimitValidator::GbkLimitValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State GbkLimitValidator::validate(QString& input, int&) const {
    std::optional<int> bytes = ledger::gbkLength(input.toStdString());
    return bytes && *bytes <= maxBytes_ ? Acceptable : Invalid;
}

void GbkLimitValidator::fixup(QString& input) const {
    input = QString::fromStdString(ledger::cutToGbkLength(input.toStdString(), maxBytes_));
}

AmountValidator::AmountValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State AmountValidator::validate(QString& input, int&) const {
    if (input.size() > maxBytes_) return Invalid;
    for (QChar c : input) {
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('-') &&
            c != QLatin1Char('.')) {
            return Invalid;
        }
    }
    return Acceptable;
}

QString normalisedAmount(const QString& text) {
    // The input holds ASCII only, which is the same in GBK and UTF-8.
    std::string t = ledger::floatText(ledger::parseNumber(text.toStdString()));
    if (t == "0" || t == "-0") return QString();
    return QString::fromStdString(t);
}

AmountEdit::AmountEdit(int maxBytes, QWidget* parent) : QLineEdit(parent) {
    setValidator(new AmountValidator(maxBytes, this));
}

void AmountEdit::focusOutEvent(QFocusEvent* e) {
    // The input's own context menu takes the focus only while it is open; the user has not left
    // the input, and a paste into "1." must not land in "1".
    if (e->reason() != Qt::PopupFocusReason) {
        QString n = normalisedAmount(text());
        if (n != text()) setText(n);
    }
    QLineEdit::focusOutEvent(e);
}

}  // namespace ui
