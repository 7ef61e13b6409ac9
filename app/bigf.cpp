#include "app/bigf.h"

#include <memory>
#include <string>

#include "app/abbox.h"
#include "app/main_menu_commands.h"
#include "assets/resource_ids.h"
#include "platform/application.h"
#include "platform/controls.h"
#include "platform/services.h"
#include "selection/stol.h"
#include "shop/identity.h"
#include "shop/look.h"
#include "shop/open_with_shift.h"
#include "update/online_update.h"

namespace deskfind {

Tbigform* bigform = nullptr;

namespace {

constexpr std::string_view kStartPageKey = R"(Software\Microsoft\Internet Explorer\Main)";

}  // namespace

Tbigform::Tbigform(Application& application)
    : Form(application, FormLayout::Sizeable("Подбор мебели в магазине Столвер", 192, 107, 769, 506,
                                             look::kWindowFont)) {
  Add<Picture>("Image1", 8, 8, 121, 121, IDB_LOGO, 120);

  Add<Link>("Label6", 160, 104, SiteRoot, look::kHeadingFont, look::Links(), kShopHost).OnClick =
      [this](Component& sender) { Label6Click(sender); };

  Add<Label>("Label7", 328, 106, std::string(kShopPhone) + std::string(kShopHours),
             look::kHeadingFont);

  // Created in tab order: the start-page button, the two pictures, the update button.
  auto& startPage = Add<PushButton>("Button4", 144, 24, 233, 25,
                                    "Сделать страницу " + std::string(kShopHost) + " стартовой");
  startPage.OnClick = [this](Component& sender) { Button4Click(sender); };

  // A picture button's hint is also its window text, which screen readers read; the button
  // still draws its picture alone.
  auto& desks = Add<PictureButton>("BitBtn1", 24, 160, 110, 110, IDB_DESK, 100);
  desks.SetTooltip("Подбор компьютерного или письменного стола");
  desks.SetText("Подбор компьютерного или письменного стола");
  desks.OnClick = [this](Component& sender) { N6Click(sender); };

  auto& chests = Add<PictureButton>("BitBtn2", 24, 280, 110, 110, IDB_CHEST, 100);
  chests.SetTooltip("Подбор комода");
  chests.SetText("Подбор комода");
  chests.OnClick = [this](Component& sender) { N7Click(sender); };

  auto& update = Add<PushButton>("Button3", 144, 64, 233, 25, "Закачать новую версию программы");
  update.OnClick = [this](Component& sender) { Button3Click(sender); };

  memo1_ = &Add<Memo>("Memo1", 336, 8, 185, 25, "Memo1", false);

  auto& menuBar = Add<MenuBar>("MainMenu1");
  auto& menu = Add<MenuItem>("N1", menuBar, "Меню");
  Add<MenuItem>("N2", menu, "Выход из программы", main_menu::kExit).OnClick =
      [this](Component& sender) { N2Click(sender); };
  auto& furniture = Add<MenuItem>("N5", menuBar, "Подбор мебели");
  Add<MenuItem>("N6", furniture, "Подбор компьютерного или письменного стола",
                main_menu::kDeskSelection)
      .OnClick = [this](Component& sender) { N6Click(sender); };
  Add<MenuItem>("N7", furniture, "Подбор комода", main_menu::kChestOfDrawers).OnClick =
      [this](Component& sender) { N7Click(sender); };
  auto& help = Add<MenuItem>("N3", menuBar, "Помощь");
  Add<MenuItem>("N4", help, "О программе", main_menu::kAbout).OnClick = [this](Component& sender) {
    N4Click(sender);
  };
  bigform = this;
}

Tbigform::~Tbigform() {
  if (bigform == this) bigform = nullptr;
}

void Tbigform::N2Click(Component&) { Close(); }

void Tbigform::N4Click(Component&) {
  auto box = std::make_unique<TAboutBox>(App());
  App().ShowModal(*box);
}

void Tbigform::N6Click(Component&) {
  // A new, empty window every time.
  auto window = std::make_unique<Tpodbor_stola>(App());
  App().ShowModal(*window);
}

void Tbigform::N7Click(Component&) {
  App().ShowMessage("Данный раздел находится в разработке!", "Зайдите через недельку :-))",
                    MB_OK | MB_ICONEXCLAMATION);
}

void Tbigform::Label6Click(Component&) { OpenWithShiftHeld(Handle(), SiteRoot); }

void Tbigform::Button3Click(Component&) { RunOnlineUpdate(App(), *this, Memo1()); }

bool Tbigform::SetIEStartPage(std::string_view address) {
  return WriteUserRegistryString(kStartPageKey, "Start Page", address);
}

void Tbigform::Button4Click(Component&) {
  if (SetIEStartPage(SiteRoot)) {
    App().ShowMessage(std::string(kShopHost) + " установлена Вашей стартовой страницей",
                      "Спасибо !", MB_OK | MB_ICONEXCLAMATION);
  } else {
    App().ShowMessage("Не удалось сделать " + std::string(kShopHost) + " Вашей стартовой страницей",
                      "Стартовая страница не изменена", MB_OK | MB_ICONERROR);
  }
}

}  // namespace deskfind
