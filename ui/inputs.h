#pragma once

// The day page's and the settings page's inputs: byte limits counted in GBK, and the amount
// input's decimal behaviour.

#include <QLineEdit>
#include <QString>
#include <QValidator>

namespace ui {

// Accepts a text only while its GBK form fits in `maxBytes`; a character without a GBK form
// cannot be typed at all, since the ledger stores GBK bytes only.
class GbkLimitValidator : public QValidator {
    Q_OBJECT
  public:
    GbkLimitValidator(int maxBytes, QObject* parent);
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    int maxBytes() const { return maxBytes_; }

  private:
    int maxBytes_;
};

// The amount input's typing rule: digits, "-" and "." only, at most `maxBytes` of them. Where
// the sign and the point stand is not checked; leaving the input normalises the number.
class AmountValidator : public QValidator {
    Q_OBJECT
  public:
    AmountValidator(int maxBytes, QObject* parent);
    State validate(QString& input, int& pos) const override;

  private:
    int maxBytes_;
};

// The text the amount input shows after it loses the focus: the leading number of `text` as a
// 32-bit float in its shortest text, and empty for a zero ("12.50" -> "12.5", "0.00" -> "").
QString normalisedAmount(const QString& text);

// The tooltips of a keystroke the amount input refuses: a character it does not take, or one
// past its length.
inline const QString kAmountCharactersHint =
    QStringLiteral("金额只能输入数字0-9、小数点“.”和负号“-”");
QString amountLengthHint(int maxBytes);  // "金额最多输入10个字符"

// A single-line edit whose text is normalised by normalisedAmount when it loses the focus (not
// when its own context menu opens). A typed character it refuses shows a tooltip saying what it
// takes, and the text stays as it was.
class AmountEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit AmountEdit(int maxBytes, QWidget* parent = nullptr);

  protected:
    void focusOutEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    int maxBytes_;
};

}  // namespace ui
