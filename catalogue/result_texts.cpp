#include "catalogue/result_texts.h"

namespace deskfind {

std::string NameText(const DeskRecord& desk) { return std::string(desk.name); }

std::string DimensionsText(const DeskRecord& desk) {
  // The heading uses Cyrillic "х"; the separators between numbers use Latin "x".
  return "ШхГхВ     " + std::to_string(desk.width) + " x " + std::to_string(desk.depth) + " x " +
         std::to_string(desk.height) + " см.";
}

std::string PriceText(const DeskRecord& desk) { return std::to_string(desk.price) + " руб."; }

}  // namespace deskfind
