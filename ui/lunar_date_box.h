#pragma once

// A date box that shows the Chinese lunar date beside the Gregorian one, "丁卯年(兔)闰六月初一
// 1987-7-26", and drops down a month calendar to pick a day. It holds a calendar date only.

#include <QComboBox>
#include <QDate>

class QCalendarWidget;

namespace ui {
// The tooltip of a refused typed date: the forms the date boxes read.
extern const QString kTypedDateForms;
}  // namespace ui

namespace ui {

class LunarDateBox : public QComboBox {
    Q_OBJECT
  public:
    explicit LunarDateBox(QWidget* parent = nullptr);

    QDate date() const { return date_; }
    // Shows `d` when it lies within kFirstLunarDay..kLastLunarDay and returns true; the
    // dateChanged notification is then queued to the event loop, also when `d` is the date
    // already shown. Otherwise returns false and changes nothing.
    bool setDate(const QDate& d);
    // The text the box shows.
    QString displayText() const { return currentText(); }

    // Opens the month calendar under the box on the box's date.
    void showPopup() override;
    void hidePopup() override;
    QCalendarWidget* calendar() const { return calendar_; }

    // The day a typed text names: 2024-1-1, 2024/1/1, 2024.1.1, 2024年1月1日 or 20240101; an
    // invalid date for any other text.
    static QDate typedDate(const QString& text);

  signals:
    // Delivered through the event loop after an accepted setDate or a day picked in the calendar.
    void dateChanged(const QDate& date);

  protected:
    void wheelEvent(QWheelEvent* e) override;
    // PageUp/PageDown step the date a month back or on, with Ctrl a year.
    void keyPressEvent(QKeyEvent* e) override;

    void focusOutEvent(QFocusEvent* e) override;

  private:
    // Reads the typed text with Enter: a day in range is set, anything else is refused with a
    // tooltip giving the forms that are read, and the date stays.
    void commitTyped();

    QDate date_;
    QString typed_;
    QCalendarWidget* calendar_ = nullptr;
};

}  // namespace ui
