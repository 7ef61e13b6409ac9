#include "platform/confirm_dialog.h"

#include <algorithm>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/utf16.h"

namespace deskfind {
namespace {

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kTextLeft = kMargin + kIconSize + 12;
constexpr int kButtonWidth = 75, kButtonHeight = 25, kButtonGap = 8;

class SystemIcon : public Control {
 public:
  SystemIcon(Form& owner, std::string name, int left, int top, const wchar_t* icon)
      : Control(owner, std::move(name), left, top, kIconSize, kIconSize) {
    CreateWindowFor(L"STATIC", SS_ICON, 0, "");
    // A shared system icon: never destroyed by us.
    SendMessageW(Handle(), STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, icon)), 0);
    SetBounds(left, top, kIconSize, kIconSize);
  }
};

// The text's size in 96-DPI pixels.
SIZE TextSize(Application& application, std::string_view text) {
  HDC dc = application.MeasuringDC();
  ScopedSelectObject selected(dc, application.Fonts().Get(FontSpec{}));
  const std::wstring wide = Utf16(text);
  RECT rect{0, 0, 0, 0};
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  return {MulDiv(rect.right, 96, application.Dpi()) + 1,
          MulDiv(rect.bottom, 96, application.Dpi()) + 1};
}

using Geometry = detail::ConfirmGeometry;

Geometry Measure(Application& application, std::string_view text) {
  Geometry geometry{};
  geometry.text = TextSize(application, text);
  const int buttonsWidth = 2 * kButtonWidth + kButtonGap;
  geometry.clientWidth =
      std::max(kTextLeft + static_cast<int>(geometry.text.cx), buttonsWidth + kMargin) + kMargin;
  geometry.buttonsTop = kMargin + std::max(kIconSize, static_cast<int>(geometry.text.cy)) + kMargin;
  geometry.clientHeight = geometry.buttonsTop + kButtonHeight + kMargin - 4;
  return geometry;
}

FormLayout DialogLayout(const Geometry& geometry) {
  FormLayout layout =
      FormLayout::CentredDialog("Warning", geometry.clientWidth, geometry.clientHeight, FontSpec{});
  layout.programIcon = false;
  return layout;
}

}  // namespace

ConfirmDialog::ConfirmDialog(Application& application, std::string_view text)
    : ConfirmDialog(application, text, Measure(application, text)) {}

ConfirmDialog::ConfirmDialog(Application& application, std::string_view text,
                             const Geometry& geometry)
    : Form(application, DialogLayout(geometry)) {
  Add<SystemIcon>("Image", kMargin, kMargin, IDI_EXCLAMATION);
  Add<Label>("Message", kTextLeft, kMargin, text);
  const int buttonsLeft = (geometry.clientWidth - (2 * kButtonWidth + kButtonGap)) / 2;
  yes_ = &Add<PushButton>("Yes", buttonsLeft, geometry.buttonsTop, kButtonWidth, kButtonHeight,
                          "&Yes", true);
  auto& no = Add<PushButton>("No", buttonsLeft + kButtonWidth + kButtonGap, geometry.buttonsTop,
                             kButtonWidth, kButtonHeight, "&No");
  yes_->OnClick = [this](Component&) { SetModalResult(IDYES); };
  no.OnClick = [this](Component&) { SetModalResult(IDNO); };
  SetFocus(yes_->Handle());
}

Component* ConfirmDialog::DefaultButton() { return yes_; }

}  // namespace deskfind
