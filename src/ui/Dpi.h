#pragma once
// Layouts are given in pixels of a 96 dots-per-inch screen and scaled to the screen at hand.
namespace korvalis::ui {

int ScreenDpi();
int Scale(int pixels);

}  // namespace korvalis::ui
