#pragma once

#include <windows.h>

#include "platform/controls.h"
#include "platform/font_cache.h"

// Fonts and colours the windows share.
namespace deskfind::look {

inline const FontSpec kWindowFont{L"MS Sans Serif", 11, false, false};
inline const FontSpec kHeadingFont{L"Times New Roman", 16, true, false};
inline constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
inline constexpr COLORREF kVisitedPurple = RGB(128, 0, 128);

// The system's shared hand-point cursor, looked up once; never destroyed.
inline HCURSOR HandCursor() {
  static const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  return hand;
}

// Every link of the program: blue, purple once visited, the hand over it.
inline LinkLook Links() { return {kLinkBlue, kVisitedPurple, HandCursor()}; }

}  // namespace deskfind::look
