#pragma once

// The window's message boxes, and the store's fatal stop.

#include <QString>
#include <string>

#include "ledger/window_port.h"
#include "ui/gbk_text.h"

class QWidget;

namespace ui {

// The title of the program's own prompts.
inline const QString kPromptTitle = fromGbk(ledger::kPromptTitle);

// A message box the window is about to show, in UTF-8.
struct MessageBoxRequest {
    QString text;
    QString title;
    ledger::MessageIcon icon = ledger::MessageIcon::None;
    bool yesNo = false;
};

// Shows `request` as a modal box over `parent`, with Chinese button texts: 是 and 否 for a
// question, 确定 otherwise. Returns true when the user chose 是.
bool showMessageBox(QWidget* parent, const MessageBoxRequest& request);

// The store's fatal stop: a modal box titled "错误" ("运行时出错!", a blank line, "错误信息："
// and the message), then the process ends with exit code -1. Safe from any thread.
[[noreturn]] void fatalStop(const std::string& gbkMessage);

}  // namespace ui
