#pragma once

// The ledger keeps GBK texts; the widgets show UTF-8 ones. Every text crosses here.

#include <QString>
#include <string>

#include "ledger/gbk.h"

namespace ui {

// The ledger's GBK text as a text for the widgets.
inline QString fromGbk(const std::string& gbk) {
    return QString::fromStdString(ledger::gbkToUtf8(gbk));
}

// A widget's text as the ledger's GBK text; empty when it has no GBK form.
inline std::string toGbk(const QString& text) {
    return ledger::utf8ToGbk(text.toStdString()).value_or(std::string());
}

}  // namespace ui
