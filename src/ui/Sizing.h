#pragma once

// Measures of the window designs. They are given in twips, 15 to a pixel at 96 dpi; a design
// measure is a least size, never a fixed one, so a larger font or scale still fits.

namespace rollcall::ui {

// Pixels for a design measure, rounded to the nearest.
constexpr int Twips(int twips)
{
    return (twips * 2 + 15) / 30;
}

} // namespace rollcall::ui
