#include "platform/font_cache.h"

#include <stdexcept>

namespace deskfind {

HFONT FontCache::Get(const FontSpec& wanted, int dpi) {
  for (const Made& made : fonts_) {
    if (made.dpi == dpi && made.asked == wanted) return made.font.Get();
  }

  LOGFONTW font{};
  // A negative height asks for the character height, not the cell height.
  font.lfHeight = -MulDiv(wanted.height, dpi, 96);
  font.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = wanted.underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, wanted.face.c_str(), LF_FACESIZE);
  FontHandle handle(CreateFontIndirectW(&font));
  if (!handle) throw std::runtime_error("cannot create a font");
  HFONT result = handle.Get();
  fonts_.push_back({dpi, wanted, std::move(handle)});
  return result;
}

}  // namespace deskfind
