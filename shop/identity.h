#pragma once

#include <string_view>

// The shop's own details, the same in every window and address. UTF-8.
namespace deskfind {

inline constexpr std::string_view kShopHost = "www.stolver.ru";
inline constexpr std::string_view SiteRoot = "http://www.stolver.ru";
inline constexpr std::string_view kShopPhone = "(495) 784-21-56";
inline constexpr std::string_view kShopHours = " с 10-00 до 18-00 по рабочим дням";
inline constexpr std::string_view kShopLine = "Магазин «Столвер», Москва";
inline constexpr std::string_view kMakerCredit = "Разработка: ООО «Веста Софт»";
inline constexpr std::string_view kMakerCompany = "ООО «Веста Софт»";

}  // namespace deskfind
