#pragma once

#include <string>
#include <vector>

#include "platform/component.h"

namespace deskfind {

// A text label that sizes itself to its text, like every label of the program.
class Label : public Control {
 public:
  Label(Form& owner, std::string name, int left, int top, std::string_view text,
        bool visible = true);
  Label(Form& owner, std::string name, int left, int top, std::string_view text,
        const FontSpec& font, COLORREF color = CLR_INVALID);
  bool IsLabel() const override { return true; }

 protected:
  Label(Form& owner, std::string name, int left, int top, std::string_view text,
        const FontSpec& font, COLORREF color, DWORD extraStyle);
  void TextChanged() override;
};

// How a link shows: its colour, its colour once visited, and the pointer over it.
struct LinkLook {
  COLORREF color = CLR_INVALID;
  COLORREF visitedColor = CLR_INVALID;
  HCURSOR cursor = nullptr;  // a shared cursor, never destroyed
};

// A label that opens something: its font underlined, in the link colour, with its own pointer
// and tooltip. Tab reaches it after the form's other controls; it then shows a focus rectangle,
// and Enter or Space does what a click does.
class Link : public Label {
 public:
  Link(Form& owner, std::string name, int left, int top, std::string_view text,
       const FontSpec& font, const LinkLook& look, std::string_view tooltip);
  ~Link() override;
  Link* AsLink() override { return this; }
  bool TabsLast() const override { return true; }

  // Shows the link in its visited colour from now on.
  void MarkVisited() { SetTextColor(visitedColor_); }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
  COLORREF visitedColor_;
};

class PushButton : public Control {
 public:
  PushButton(Form& owner, std::string name, int left, int top, int width, int height,
             std::string_view caption, bool isDefault = false);
  bool PressedByEnter() const override { return true; }
};

// A button that shows a bitmap resource in its middle.
class PictureButton : public Control {
 public:
  PictureButton(Form& owner, std::string name, int left, int top, int width, int height,
                int bitmapResource, int bitmapSize);
  ~PictureButton() override;
  void DpiChanged() override;
  bool PressedByEnter() const override { return true; }

 private:
  int bitmapResource_, bitmapSize_;
  BitmapHandle bitmap_;
};

// A bitmap resource drawn at its own size in the top-left corner of the box.
class Picture : public Control {
 public:
  Picture(Form& owner, std::string name, int left, int top, int width, int height,
          int bitmapResource, int bitmapSize);
  ~Picture() override;
  void DpiChanged() override;

 private:
  int bitmapResource_, bitmapSize_;
  BitmapHandle bitmap_;
};

// A drop-down list that accepts only its own items; it may have no item chosen.
class DropDownList : public Control {
 public:
  DropDownList(Form& owner, std::string name, int left, int top, int width, int height,
               const std::vector<std::string>& items, int visibleRows);
  int ItemIndex() const;  // -1 when nothing is chosen
  void SetItemIndex(int index);
  std::string ItemText(int index) const;
  int ShownHeight() const override;
  void DpiChanged() override;
  bool UsesScrollingKeys() const override { return true; }

 private:
  // Sizes the box and its list for the present font and DPI.
  void FitToFont();
  // Makes the closed box exactly its design height, whatever the font.
  void FitClosedHeight();
  int visibleRows_;
};

// A multi-line text box; the program keeps its one hidden.
class Memo : public Control {
 public:
  Memo(Form& owner, std::string name, int left, int top, int width, int height,
       std::string_view text, bool visible);
};

// A standard progress bar: a position in a range, or a moving marquee while the end is unknown.
class ProgressBar : public Control {
 public:
  // accessibleName is its window text, which screen readers read.
  ProgressBar(Form& owner, std::string name, int left, int top, int width, int height,
              std::string_view accessibleName);
  // Shows position of range; a range of 0 shows the marquee instead.
  void Show(unsigned position, unsigned range);
  unsigned Position() const;

 private:
  bool marquee_ = false;
  unsigned range_ = 0;
};

// A raised, bevelled area that groups controls; the form draws it.
class Panel : public Component {
 public:
  Panel(Form& owner, std::string name, int left, int top, int width, int height);
  const Panel* AsPanel() const override { return this; }
  RECT Bounds() const { return {left_, top_, left_ + width_, top_ + height_}; }
  // Where it is in the form's client area, in screen pixels.
  RECT ScreenBounds() const;
  // Draws its bevel on the form.
  void Paint(HDC dc) const;
  int Left() const { return left_; }
  int Top() const { return top_; }

 private:
  int left_, top_, width_, height_;
};

class MenuBar : public Component {
 public:
  MenuBar(Form& owner, std::string name);
  ~MenuBar() override;
  HMENU Handle() const { return menu_.Get(); }

 private:
  MenuHandle menu_;
};

// A menu heading (with items under it) or a command item. Commands run OnClick.
class MenuItem : public Component {
 public:
  // A heading on the menu bar.
  MenuItem(Form& owner, std::string name, MenuBar& bar, std::string_view text);
  // A command under a heading.
  MenuItem(Form& owner, std::string name, MenuItem& heading, std::string_view text,
           unsigned short commandId);
  unsigned short MenuCommand() const override { return commandId_; }
  HMENU SubMenu() const { return subMenu_; }

 private:
  HMENU subMenu_ = nullptr;
  unsigned short commandId_ = 0;
};

}  // namespace deskfind
