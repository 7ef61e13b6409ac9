#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace deskfind {

// One catalogue entry: six whole numbers and a display name.
struct DeskRecord {
  std::int32_t number;    // 1..80, the entry's position in the catalogue
  std::int32_t width;     // centimetres; the only field a search compares
  std::int32_t depth;     // centimetres
  std::int32_t height;    // centimetres
  std::int32_t article;   // the shop's seven-digit stock number
  std::int32_t price;     // whole roubles
  std::string_view name;  // UTF-8
};

// The entry numbers a search matched, in catalogue order.
class MatchList {
 public:
  static constexpr int kCapacity = 80;

  void Reset() { count_ = 0; }
  void Append(int number) { numbers_.at(static_cast<std::size_t>(count_++)) = number; }

  int Count() const { return count_; }
  bool Empty() const { return count_ == 0; }
  int operator[](int index) const { return numbers_.at(static_cast<std::size_t>(index)); }
  const int* begin() const { return numbers_.data(); }
  const int* end() const { return numbers_.data() + count_; }

 private:
  std::array<int, kCapacity> numbers_{};
  int count_ = 0;
};

class DeskCatalogue {
 public:
  static constexpr int kSize = 80;
  // The bounds a search uses for a side the customer left open.
  static constexpr int kOpenMinimum = 0;
  static constexpr int kOpenMaximum = 200;

  // Assigns all entries, numbers 1..kSize in the shop's order.
  void Fill();

  // number is 1..kSize.
  const DeskRecord& Entry(int number) const;

  // Resets matches, then appends every entry with minimum <= width <= maximum.
  void Search(int minimum, int maximum, MatchList& matches) const;

 private:
  std::array<DeskRecord, kSize> entries_{};
  bool filled_ = false;
};

}  // namespace deskfind
