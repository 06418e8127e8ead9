#pragma once

// The program's numbered icons (1 the program, 2-9 the game pictures) and its artwork.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace rollcall::ui {

inline constexpr int FirstIcon = 1;
inline constexpr int LastIcon = 9;

// Resource path of icon n, ":/icons/iconN.svg"; empty for a number without an icon.
QString IconPath(int number);
// A null icon for a number without one.
QIcon Icon(int number);
QPixmap IconPixmap(int number, int size = 32);

// The welcome page's picture.
QPixmap WelcomePicture();

} // namespace rollcall::ui
