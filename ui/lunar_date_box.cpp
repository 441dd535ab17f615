#include "ui/lunar_date_box.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QToolTip>
#include <QWheelEvent>

#include "ui/lunar_calendar.h"

namespace ui {
namespace {

// The drop-down month calendar: each day shows its lunar day name under the day of the month,
// and the lunar month's name on its first day.
class LunarMonthCalendar : public QCalendarWidget {
  public:
    using QCalendarWidget::QCalendarWidget;

  protected:
    void paintCell(QPainter* painter, const QRect& rect, QDate date) const override {
        LunarDay l = lunarDayOf(date);
        if (l.year == 0) return QCalendarWidget::paintCell(painter, rect, date);
        painter->save();
        bool selected = date == selectedDate();
        bool inMonth = date.month() == monthShown();
        painter->fillRect(rect.adjusted(1, 1, -1, -1),
                          selected ? palette().highlight() : palette().base());
        QColor text = selected   ? palette().highlightedText().color()
                      : !inMonth ? palette().color(QPalette::Disabled, QPalette::Text)
                                 : palette().text().color();
        QFont big = font();
        big.setPixelSize(qMax(11, rect.height() / 2 - 2));
        painter->setFont(big);
        painter->setPen(text);
        QRect upper(rect.left(), rect.top() + 1, rect.width(), rect.height() / 2 + 1);
        painter->drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, QString::number(date.day()));
        QFont small = font();
        small.setPixelSize(qMax(9, rect.height() / 3 - 1));
        painter->setFont(small);
        if (!selected && inMonth && l.day == 1) painter->setPen(QColor(200, 30, 30));
        QRect lower(rect.left(), rect.top() + rect.height() / 2 + 1, rect.width(),
                    rect.height() / 2 - 1);
        painter->drawText(lower, Qt::AlignHCenter | Qt::AlignTop,
                          l.day == 1 ? monthName(l.month, l.leap) : dayName(l.day));
        painter->restore();
    }
};

}  // namespace

const QString kTypedDateForms =
    QStringLiteral("请按以下格式输入日期：2024-1-1、2024/1/1、2024.1.1、2024年1月1日 或 20240101");

QDate LunarDateBox::typedDate(const QString& text) {
    // One separator used throughout, or the Chinese words, or eight digits: nothing else is read,
    // so that 2024/1/1 can never turn into another day.
    static const QRegularExpression separated(
        QStringLiteral("^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})$"));
    static const QRegularExpression words(QStringLiteral("^(\\d{4})年(\\d{1,2})月(\\d{1,2})日$"));
    static const QRegularExpression digits(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    const QString t = text.trimmed();
    QRegularExpressionMatch m = separated.match(t);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    for (const QRegularExpression* re : {&words, &digits}) {
        m = re->match(t);
        if (m.hasMatch())
            return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    return {};
}

LunarDateBox::LunarDateBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    addItem(QString());
    calendar_ = new LunarMonthCalendar(this);
    calendar_->setWindowFlags(Qt::Popup);
    calendar_->setMinimumDate(kFirstLunarDay);
    calendar_->setMaximumDate(kLastLunarDay);
    calendar_->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    calendar_->setGridVisible(true);
    calendar_->setMinimumSize(300, 230);
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setAccessibleName(QStringLiteral("选择日期"));
    calendar_->hide();
    // Only a picked day sets the date; browsing months and years does not.
    auto pick = [this](const QDate& d) {
        hidePopup();
        setDate(d);
    };
    connect(calendar_, &QCalendarWidget::clicked, this, pick);
    connect(calendar_, &QCalendarWidget::activated, this, pick);
}

bool LunarDateBox::setDate(const QDate& d) {
    if (!d.isValid() || d < kFirstLunarDay || d > kLastLunarDay) return false;
    date_ = d;
    QString text = lunarDateText(d);
    setItemText(0, text);
    setAccessibleDescription(text);
    setToolTip(QString());
    QMetaObject::invokeMethod(
        this, [this, d] { emit dateChanged(d); }, Qt::QueuedConnection);
    return true;
}

void LunarDateBox::showPopup() {
    if (date_.isValid()) calendar_->setSelectedDate(date_);
    calendar_->adjustSize();
    QPoint below = mapToGlobal(QPoint(0, height()));
    QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    QSize size = calendar_->sizeHint();
    if (screen.isValid()) {
        if (below.x() + size.width() > screen.right()) below.setX(screen.right() - size.width());
        if (below.y() + size.height() > screen.bottom()) {
            below.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        }
    }
    calendar_->move(below);
    calendar_->show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

void LunarDateBox::hidePopup() {
    calendar_->hide();
    QComboBox::hidePopup();
}

// The one item is the date: the wheel and the arrow keys must not pick another.
void LunarDateBox::wheelEvent(QWheelEvent* e) { e->ignore(); }

void LunarDateBox::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (e->modifiers() & Qt::AltModifier) {
                showPopup();
                return;
            }
            e->ignore();
            return;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            // A month a step, a year with Ctrl, backwards with PageUp as in the calendar; the
            // day is kept where the month has it (31 March back to 29 February). A step past the
            // box's range changes nothing.
            if (!date_.isValid()) return;
            const int sign = e->key() == Qt::Key_PageUp ? -1 : 1;
            setDate((e->modifiers() & Qt::ControlModifier) ? date_.addYears(sign)
                                                           : date_.addMonths(sign));
            return;
        }
        case Qt::Key_Home:
        case Qt::Key_End:
            e->ignore();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (typed_.isEmpty()) break;
            commitTyped();
            return;
        case Qt::Key_Escape:
            if (typed_.isEmpty()) break;
            typed_.clear();
            return;
        case Qt::Key_Backspace:
            typed_.chop(1);
            return;
        default:
            // A date typed as people type it collects here until Enter reads it.
            if (!e->text().isEmpty() && e->text().at(0).isPrint() &&
                !(typed_.isEmpty() && e->text() == QStringLiteral(" ")) &&
                !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                typed_ += e->text();
                return;
            }
            break;
    }
    QComboBox::keyPressEvent(e);
}

void LunarDateBox::commitTyped() {
    const QDate d = typedDate(typed_);
    typed_.clear();
    if (setDate(d)) return;
    // Refused: the date stays, and the tooltip says which forms are read.
    setToolTip(kTypedDateForms);
    QToolTip::showText(mapToGlobal(QPoint(0, height())), kTypedDateForms, this);
}

void LunarDateBox::focusOutEvent(QFocusEvent* e) {
    if (e->reason() != Qt::PopupFocusReason) typed_.clear();
    QComboBox::focusOutEvent(e);
}

}  // namespace ui
