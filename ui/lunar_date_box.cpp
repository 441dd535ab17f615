#include "ui/lunar_date_box.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QScreen>
#include <QWheelEvent>

#include "ui/lunar_calendar.h"

namespace ui {

LunarDateBox::LunarDateBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    addItem(QString());
    calendar_ = new QCalendarWidget(this);
    calendar_->setWindowFlags(Qt::Popup);
    calendar_->setMinimumDate(kFirstLunarDay);
    calendar_->setMaximumDate(kLastLunarDay);
    calendar_->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    calendar_->setGridVisible(true);
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
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            e->ignore();
            return;
        default:
            QComboBox::keyPressEvent(e);
    }
}

}  // namespace ui
