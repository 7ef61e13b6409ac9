#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32_handles.h"

namespace deskfind {

// A font as the windows ask for it: face, character height in pixels at 96 DPI, style.
struct FontSpec {
  std::wstring face = L"MS Sans Serif";
  int height = 11;
  bool bold = false;
  bool underline = false;

  bool operator==(const FontSpec& other) const {
    return face == other.face && height == other.height && bold == other.bold &&
           underline == other.underline;
  }
};

// One font object per distinct font, made on first use and shared by every control.
class FontCache {
 public:
  explicit FontCache(int dpi) : dpi_(dpi) {}
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // The font at the screen DPI the cache was made for, or at another one.
  HFONT Get(const FontSpec& wanted) { return Get(wanted, dpi_); }
  HFONT Get(const FontSpec& wanted, int dpi);
  int Size() const { return static_cast<int>(fonts_.size()); }

 private:
  // A handful of fonts: a list searched in order is smaller than a tree in the program.
  struct Made {
    int dpi;
    FontSpec asked;
    FontHandle font;
  };

  int dpi_;
  std::vector<Made> fonts_;
};

}  // namespace deskfind
