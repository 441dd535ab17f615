#pragma once

// What the window and its pages do outside themselves; tests replace these.

#include <QDateTime>
#include <QUrl>
#include <functional>

#include "ui/message_boxes.h"

#include "ui/exchange_actions.h"

namespace ui {

struct WindowHooks {
    // Shows a message box; for a Yes/No question returns true for Yes. Default: showMessageBox
    // over the window.
    std::function<bool(const MessageBoxRequest&)> messageBox;
    // Opens a link. Default: QDesktopServices.
    std::function<void(const QUrl&)> openUrl;
    // The local clock. Default: QDateTime::currentDateTime.
    std::function<QDateTime()> clock;
    // The toolbar's "退出". Default: closes the window and ends the event loop with code 0.
    std::function<void()> quit;
    // The file dialogs and the preview of 导出... and 导入账单....
    ExchangeHooks exchange;
};

}  // namespace ui
