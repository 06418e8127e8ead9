#pragma once

// The program's numbered icons (1 the program, 2-9 the game pictures) and its artwork.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace rollcall::ui {

// By what they show: a game's button picture (32 pixels) and, where it has one apart, the
// small icon of its launch window.
inline constexpr int ProgramIcon = 1;
inline constexpr int HalfLifePicture = 2;
inline constexpr int HalfLifeWindowIcon = 3;
inline constexpr int TeamFortressPicture = 4; // its window icon too
inline constexpr int CounterStrikePicture = 5;
inline constexpr int CounterStrikeWindowIcon = 6;
inline constexpr int DeathmatchClassicPicture = 7;
inline constexpr int DeathmatchClassicWindowIcon = 8;
inline constexpr int BlankPicture = 9; // hides the game while its query is pending

inline constexpr int FirstIcon = ProgramIcon;
inline constexpr int LastIcon = BlankPicture;

// Resource path of icon n, ":/icons/iconN.svg"; empty for a number without an icon.
QString IconPath(int number);
// A null icon for a number without one.
QIcon Icon(int number);
QPixmap IconPixmap(int number, int size = 32);

// The welcome page's picture.
QPixmap WelcomePicture();

} // namespace rollcall::ui
