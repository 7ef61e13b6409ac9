#include "selection/stol.h"

#include <string>
#include <vector>

#include "app/bigf.h"
#include "catalogue/result_texts.h"
#include "platform/application.h"
#include "platform/controls.h"
#include "selection/selection_menu_commands.h"
#include "shop/identity.h"
#include "shop/look.h"
#include "shop/open_with_shift.h"

namespace deskfind {

Tpodbor_stola* podbor_stola = nullptr;
std::string ProductAddress;

namespace {

const std::vector<std::string> kWidths{"60",  "70",  "80",  "90",  "100", "110",
                                       "120", "130", "140", "150", "160"};

constexpr int kFirstRowTop = 50;
constexpr int kRowStep = 16;
constexpr int kNameLeft = 470, kDimensionsLeft = 700, kPriceLeft = 850;
constexpr COLORREF kBlack = RGB(0, 0, 0);

int ChosenWidth(const DropDownList& list, int whenOpen) {
  const int index = list.ItemIndex();
  return index < 0 ? whenOpen : std::stoi(list.ItemText(index));
}

FormLayout ScrollingLayout() {
  FormLayout layout =
      FormLayout::Sizeable("Подбор компьютерного стола", 192, 107, 960, 660, look::kWindowFont);
  layout.scrolls = true;  // an all-open search lists more desks than fit
  return layout;
}

}  // namespace

Tpodbor_stola::Tpodbor_stola(Application& application) : Form(application, ScrollingLayout()) {
  Add<Label>("Label1", 56, 48, "Ширина компьютерного стола", look::kHeadingFont);
  Add<Label>("Label3", 104, 69, "от", look::kHeadingFont);
  Add<Label>("Label2", 296, 69, "до", look::kHeadingFont);
  Add<Label>("Label4", 168, 85, "см.", look::kHeadingFont);
  Add<Label>("Label5", 368, 85, "см.", look::kHeadingFont);
  clickNaLety_ = &Add<Label>("Click_na_lety", 24, 568, "Click_na_lety", false);
  clickNaLety_->OnClick = [this](Component& sender) { Click_na_letyClick(sender); };

  Add<Link>("Label6", 40, 8, SiteRoot, look::kHeadingFont, look::Links(), kShopHost).OnClick =
      [this](Component& sender) { Label6Click(sender); };
  Add<Label>("Label7", 208, 10, std::string(kShopPhone) + std::string(kShopHours),
             look::kHeadingFont);

  comboBox1_ = &Add<DropDownList>("ComboBox1", 80, 88, 81, 21, kWidths, 15);
  comboBox2_ = &Add<DropDownList>("ComboBox2", 280, 88, 81, 21, kWidths, 15);
  Add<PushButton>("Button1", 0, 88, 75, 21, "не важно").OnClick = [this](Component& sender) {
    Button1Click(sender);
  };
  Add<PushButton>("Button2", 200, 88, 75, 21, "не важно").OnClick = [this](Component& sender) {
    Button2Click(sender);
  };
  Add<PushButton>("select", 32, 128, 289, 25, "найти столы с такими параметрами").OnClick =
      [this](Component& sender) { selectClick(sender); };

  auto& menuBar = Add<MenuBar>("MainMenu1");
  auto& menu = Add<MenuItem>("N1", menuBar, "Меню");
  Add<MenuItem>("N2", menu, "Вернуться в главное меню", selection_menu::kBackToMainWindow).OnClick =
      [this](Component& sender) { N2Click(sender); };
  auto& help = Add<MenuItem>("N3", menuBar, "Помощь");
  Add<MenuItem>("N4", help, "О программе", selection_menu::kAbout).OnClick =
      [this](Component& sender) { N4Click(sender); };

  OnActivate = [this] { FormActivate(); };
  podbor_stola = this;
}

Tpodbor_stola::~Tpodbor_stola() {
  if (podbor_stola == this) podbor_stola = nullptr;
}

void Tpodbor_stola::FormActivate() {
  comboBox1_->SetItemIndex(-1);
  comboBox2_->SetItemIndex(-1);
  catalogue_.Fill();
}

void Tpodbor_stola::Button1Click(Component&) { comboBox1_->SetItemIndex(-1); }

void Tpodbor_stola::Button2Click(Component&) { comboBox2_->SetItemIndex(-1); }

void Tpodbor_stola::selectClick(Component&) {
  matches_.Reset();
  // Many labels go and come: the window repaints once, at the end.
  BatchUpdate batch(*this);
  ClearRows();

  const int minimum = ChosenWidth(*comboBox1_, DeskCatalogue::kOpenMinimum);
  const int maximum = ChosenWidth(*comboBox2_, DeskCatalogue::kOpenMaximum);
  catalogue_.Search(minimum, maximum, matches_);

  int top = kFirstRowTop;
  for (int number : matches_) {
    top += kRowStep;
    AddRow(catalogue_.Entry(number), top);
  }
  if (matches_.Empty()) {
    FontSpec bold = DefaultFont();
    bold.bold = true;
    auto& notice = Add<Label>("net_stola", 500, kFirstRowTop, kNotFoundText, bold, kBlack);
    notice.SetCursor(look::HandCursor());
    notice.SetShowsTooltip(true);
    rows_.push_back(&notice);
  }
}

void Tpodbor_stola::ClearRows() {
  // Newest first: the rows were made last, so each is found at the end of the list at once.
  for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
    for (int index = ComponentCount() - 1; index >= 0; --index) {
      if (&ComponentAt(index) == *row) {
        DestroyComponent(index);
        break;
      }
    }
  }
  rows_.clear();
}

void Tpodbor_stola::AddRow(const DeskRecord& desk, int top) {
  const std::string article = std::to_string(desk.article);
  auto& name = Add<Link>("_" + article, kNameLeft, top, NameText(desk), DefaultFont(),
                         look::Links(), desk.name);
  name.OnClick = clickNaLety_->OnClick;

  auto& dimensions =
      Add<Label>("__" + article, kDimensionsLeft, top, DimensionsText(desk), DefaultFont(), kBlack);
  dimensions.SetTooltip(desk.name);
  auto& price =
      Add<Label>("___" + article, kPriceLeft, top, PriceText(desk), DefaultFont(), kBlack);
  price.SetTooltip(desk.name);
  rows_.insert(rows_.end(), {&name, &dimensions, &price});
}

void Tpodbor_stola::N2Click(Component&) { Close(); }

void Tpodbor_stola::N4Click(Component& sender) { bigform->N4Click(sender); }

void Tpodbor_stola::Label6Click(Component& sender) { bigform->Label6Click(sender); }

void Tpodbor_stola::Click_na_letyClick(Component& sender) {
  // The label's name is "_" and the article.
  const std::string article = sender.Name().substr(1);
  ProductAddress = std::string(SiteRoot) + "/srch_art.php?art=" + article;
  OpenWithShiftHeld(podbor_stola->Handle(), ProductAddress);
  if (Link* link = sender.AsLink()) link->MarkVisited();
}

}  // namespace deskfind
