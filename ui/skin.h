#pragma once

#include <QIcon>
#include <QString>

namespace ui {

// The blue skin of every control, as one style sheet for the main window.
QString blueSkin();

// The toolbar's picture list in its order: bust, notepad, paper sheet with pencil, table sheet
// with writing hand, monitor with a person, note sheet with a sum. 32 x 32 each.
QIcon toolbarPicture(int index);
inline constexpr int kToolbarPictures = 6;

// The window icon, rendered at 128, 96, 64, 48, 40, 32, 24 and 16 pixels.
QIcon windowIcon();

// Makes 宋体 fall back to a CJK serif face when it is not installed.
void installFontFallbacks();

}  // namespace ui
