#pragma once

#include <windows.h>

// What the driver's own test program shows; driver_test.cpp checks the driver against it.
namespace deskfind::driver::target {

inline constexpr wchar_t kClassName[] = L"DeskfindDriverTarget";
inline constexpr wchar_t kTitle[] = L"Driver target";
inline constexpr int kClientWidth = 400;
inline constexpr int kClientHeight = 240;
inline constexpr int kLeft = 20;
inline constexpr int kTop = 20;

enum Command : unsigned short {
  kWarningBox = 101,   // MB_OK | MB_ICONEXCLAMATION: "Caption" / "Line 1\rLine 2"
  kQuestionBox = 102,  // MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2: Enter means No
  kDisableButton = 103,
  kHideButton = 104,
};

enum Control : int {
  kButtonId = 201,
  kStatusId = 202,
  kLinkId = 203,
  kPlainLabelId = 204,
  kComboId = 205,
};

inline constexpr wchar_t kButtonText[] = L"Press me";
inline constexpr RECT kButtonRect{10, 10, 110, 38};
inline constexpr wchar_t kReadyStatus[] = L"Ready";
inline constexpr RECT kStatusRect{120, 14, 390, 34};
inline constexpr wchar_t kLinkText[] = L"Open the shop";
inline constexpr RECT kLinkRect{10, 50, 160, 70};
inline constexpr wchar_t kLinkAddress[] = L"http://example.invalid/x";
inline constexpr wchar_t kPlainLabelText[] = L"Plain label";
inline constexpr RECT kPlainLabelRect{170, 50, 320, 70};
inline constexpr RECT kComboRect{10, 80, 210, 200};  // height includes the dropped list
inline constexpr const wchar_t* kComboItems[] = {L"Oak", L"Birch", L"Walnut"};
inline constexpr RECT kSwatchRect{10, 120, 110, 170};
inline constexpr COLORREF kSwatchColour = RGB(0x12, 0x34, 0x56);

inline constexpr wchar_t kBoxCaption[] = L"Caption";
inline constexpr wchar_t kBoxText[] = L"Line 1\rLine 2";
inline constexpr wchar_t kQuestionCaption[] = L"Question";
inline constexpr wchar_t kQuestionText[] = L"Proceed?";

}  // namespace deskfind::driver::target
