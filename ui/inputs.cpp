#include "ui/inputs.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QToolTip>

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

namespace {

bool isAmountCharacter(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
           c == QLatin1Char('.');
}

}  // namespace

QString amountLengthHint(int maxBytes) {
    return QStringLiteral("金额最多输入%1个字符").arg(maxBytes);
}

AmountEdit::AmountEdit(int maxBytes, QWidget* parent) : QLineEdit(parent), maxBytes_(maxBytes) {
    setValidator(new AmountValidator(maxBytes, this));
}

void AmountEdit::keyPressEvent(QKeyEvent* e) {
    const QString typed = e->text();
    const QString before = text();
    QLineEdit::keyPressEvent(e);
    // Only a printable character that left the text unchanged was refused; shortcuts, moves and
    // control keys carry no such text.
    if (typed.isEmpty() || !typed.at(0).isPrint() || text() != before) return;
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return;
    bool allTaken = true;
    for (QChar c : typed) allTaken = allTaken && isAmountCharacter(c);
    const QString hint = allTaken ? amountLengthHint(maxBytes_) : kAmountCharactersHint;
    QToolTip::showText(mapToGlobal(QPoint(0, height())), hint, this);
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
