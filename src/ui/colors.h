#pragma once
// Colours as the controller's screens name them: &H00BBGGRR (blue, green, red).
#include <QColor>
#include <cstdint>

namespace lorvane::ui {

// &H00BBGGRR to QColor. &H8000000E (a system colour) is the light face of a plain button.
QColor bgr(std::uint32_t value);

inline constexpr std::uint32_t Red = 0x0000FF;         // pending, and most display-only fields
inline constexpr std::uint32_t Cyan = 0xFFFF00;        // entry fields
inline constexpr std::uint32_t Panel = 0xFFC0C0;       // windows, group boxes, labels
inline constexpr std::uint32_t Green = 0x00FF00;
inline constexpr std::uint32_t Yellow = 0x00FFFF;
inline constexpr std::uint32_t Magenta = 0xFF00FF;
inline constexpr std::uint32_t Blue = 0xFF0000;
inline constexpr std::uint32_t LightYellow = 0xC0FFFF;
inline constexpr std::uint32_t SystemButton = 0x8000000E;

}  // namespace lorvane::ui
