#pragma once

#include <string>
#include <string_view>

#include "catalogue/desk_catalogue.h"

namespace deskfind {

// The texts of one result row and of the empty result, in UTF-8.
std::string NameText(const DeskRecord& desk);
std::string DimensionsText(const DeskRecord& desk);
std::string PriceText(const DeskRecord& desk);

// Lines are separated by bare carriage returns, as the label shows them.
inline constexpr std::string_view kNotFoundText =
    "таких столов нет :-((\r\rИзмените параметры поиска и выполните поиск снова";

}  // namespace deskfind
