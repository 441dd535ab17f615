#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdlib>
#include <utility>

#include "ledger/window_port.h"
#include "ui/gbk_text.h"

namespace ui {
namespace {

QMessageBox::Icon boxIcon(ledger::MessageIcon code) {
    switch (code) {
        case ledger::MessageIcon::Error:
            return QMessageBox::Critical;
        case ledger::MessageIcon::Question:
            return QMessageBox::Question;
        case ledger::MessageIcon::Warning:
            return QMessageBox::Warning;
        case ledger::MessageIcon::Information:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// The boxes speak the window's language: the toolkit's own button texts are English.
void nameButtons(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, QString> names[] = {
        {QMessageBox::Yes, QStringLiteral("是")},
        {QMessageBox::No, QStringLiteral("否")},
        {QMessageBox::Ok, QStringLiteral("确定")}};
    for (const auto& [which, text] : names) {
        if (QAbstractButton* b = box.button(which)) b->setText(text);
    }
}

}  // namespace

bool showMessageBox(QWidget* parent, const MessageBoxRequest& r) {
    QMessageBox box(boxIcon(r.icon), r.title, r.text,
                    r.yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, parent);
    nameButtons(box);
    return box.exec() == QMessageBox::Yes;
}

void fatalStop(const std::string& gbkMessage) {
    QString text =
        QStringLiteral("运行时出错!\n\n错误信息：") + fromGbk(gbkMessage) + QStringLiteral("\n");
    auto show = [text] {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        nameButtons(box);
        box.exec();
    };
    if (qApp && QThread::currentThread() == qApp->thread()) {
        show();
    } else if (qApp) {
        QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
    }
    std::exit(-1);
}

}  // namespace ui
