#pragma once
// Every colour the program's windows show, named once. Written as the controller's screens name
// them: &H00BBGGRR (blue, green, red).
#include <QColor>
#include <cstdint>

namespace lorvane::ui {

// &H00BBGGRR to QColor. &H8000000E (a system colour) is the light face of a plain button.
QColor bgr(std::uint32_t value);

inline constexpr std::uint32_t Black = 0x000000;       // text
inline constexpr std::uint32_t White = 0xFFFFFF;
inline constexpr std::uint32_t Red = 0x0000FF;         // pending, and most display-only fields
inline constexpr std::uint32_t Cyan = 0xFFFF00;        // entry fields
inline constexpr std::uint32_t Panel = 0xFFC0C0;       // windows, group boxes, labels
inline constexpr std::uint32_t Green = 0x00FF00;
inline constexpr std::uint32_t DarkGreen = 0x00A000;   // a green caption still easy to read on the panel
inline constexpr std::uint32_t PaleGreen = 0xC0FFC0;
inline constexpr std::uint32_t Yellow = 0x00FFFF;
inline constexpr std::uint32_t LightYellow = 0xC0FFFF;
inline constexpr std::uint32_t Orange = 0x0080FF;
inline constexpr std::uint32_t Magenta = 0xFF00FF;
inline constexpr std::uint32_t Pink = 0xFF80FF;
inline constexpr std::uint32_t Salmon = 0x8080FF;
inline constexpr std::uint32_t Rose = 0xC0C0FF;
inline constexpr std::uint32_t Blue = 0xFF0000;
inline constexpr std::uint32_t Grey = 0x808080;        // group frames, the text of a disabled button
inline constexpr std::uint32_t DarkGrey = 0x606060;    // button frames
inline constexpr std::uint32_t SystemButton = 0x8000000E;

}  // namespace lorvane::ui
