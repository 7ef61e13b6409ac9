#include "app/abbox.h"

#include <string>

#include "assets/resource_ids.h"
#include "deskfind_version.h"
#include "platform/application.h"
#include "platform/controls.h"
#include "shop/identity.h"
#include "shop/look.h"
#include "shop/open_with_shift.h"

namespace deskfind {

TAboutBox* AboutBox = nullptr;

namespace {

// Controls on the panel are placed relative to its top-left corner.
constexpr int kPanelLeft = 8, kPanelTop = 8;

}  // namespace

TAboutBox::TAboutBox(Application& application)
    : Form(application, FormLayout::CentredDialog("About", 311, 313, look::kWindowFont)) {
  okButton_ = &Add<PushButton>("OKButton", 111, 276, 75, 25, "OK", true);
  okButton_->OnClick = [this](Component&) { SetModalResult(IDOK); };
  Add<Panel>("Panel1", kPanelLeft, kPanelTop, 289, 257);

  const auto onPanel = [](int left, int top) {
    return std::pair{kPanelLeft + left, kPanelTop + top};
  };
  auto [versionLeft, versionTop] = onPanel(144, 80);
  Add<Label>("Version", versionLeft, versionTop, "Version " DESKFIND_VERSION_POINT);
  auto [creditLeft, creditTop] = onPanel(112, 160);
  Add<Label>("Label5", creditLeft, creditTop, kMakerCredit);
  auto [makerLeft, makerTop] = onPanel(144, 104);
  Add<Label>("Label1", makerLeft, makerTop, kMakerCompany);
  auto [logoLeft, logoTop] = onPanel(8, 8);
  Add<Picture>("Image1", logoLeft, logoTop, 121, 121, IDB_LOGO, 120);

  auto [linkLeft, linkTop] = onPanel(144, 120);
  Add<Link>("Label3", linkLeft, linkTop, SiteRoot, look::kWindowFont, look::Links(), kShopHost)
      .OnClick = [this](Component& sender) { Label3Click(sender); };

  auto [shopLeft, shopTop] = onPanel(112, 184);
  Add<Label>("Label2", shopLeft, shopTop, kShopLine);
  auto [noticeLeft, noticeTop] = onPanel(16, 208);
  Add<Label>(
      "Label4", noticeLeft, noticeTop,
      "Для свободного распространения.\r\nПо всем вопросам звоните " + std::string(kShopPhone));
  SetFocus(okButton_->Handle());
  AboutBox = this;
}

TAboutBox::~TAboutBox() {
  if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::Label3Click(Component&) { OpenWithShiftHeld(Handle(), SiteRoot); }

Component* TAboutBox::DefaultButton() { return okButton_; }

}  // namespace deskfind
