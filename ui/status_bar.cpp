#include "ui/status_bar.h"

#include <QLabel>

namespace ui {

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
    int x = 0;
    for (int i = 0; i < kParts; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("状态条1_%1").arg(i));
        label->setGeometry(x, 0, kWidths[i], 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        bool sunken = i == 1 || i == 3 || i == 5;
        label->setFrameStyle(sunken ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
        label->setProperty("sunken", sunken);
        label->setAccessibleName(QStringLiteral("状态栏第%1栏").arg(i));
        x += kWidths[i];
        parts_[i] = label;
    }
    setPartText(2, QStringLiteral("  当前任务"));
    setAccessibleName(QStringLiteral("状态栏"));
}

void StatusBar::setPartText(int index, const QString& text) {
    if (index < 0 || index >= kParts) return;
    parts_[index]->setText(text);
    parts_[index]->setAccessibleDescription(text);
}

QString StatusBar::partText(int index) const {
    return index >= 0 && index < kParts ? parts_[index]->text() : QString();
}

QLabel* StatusBar::part(int index) const {
    return index >= 0 && index < kParts ? parts_[index] : nullptr;
}

}  // namespace ui
