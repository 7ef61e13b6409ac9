#include "platform/font_cache.h"

#include <stdexcept>

namespace deskfind {

HFONT FontCache::Get(const FontSpec& spec) {
  auto found = fonts_.find(spec);
  if (found != fonts_.end()) return found->second.Get();

  LOGFONTW font{};
  // A negative height asks for the character height, not the cell height.
  font.lfHeight = -MulDiv(spec.height, dpi_, 96);
  font.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = spec.underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, spec.face.c_str(), LF_FACESIZE);
  FontHandle handle(CreateFontIndirectW(&font));
  if (!handle) throw std::runtime_error("cannot create a font");
  HFONT result = handle.Get();
  fonts_.emplace(spec, std::move(handle));
  return result;
}

}  // namespace deskfind
