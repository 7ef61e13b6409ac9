#include "catalogue/result_texts.h"

#include <gtest/gtest.h>

#include "tests/unit/windows1251.h"

namespace deskfind {
namespace {

using testing::Windows1251;

class FirstEntryTexts : public ::testing::Test {
 protected:
  void SetUp() override { catalogue.Fill(); }
  const DeskRecord& First() const { return catalogue.Entry(1); }
  DeskCatalogue catalogue;
};

TEST_F(FirstEntryTexts, DimensionsHaveCyrillicHeadingFiveBlanksAndLatinSeparators) {
  const std::string text = DimensionsText(First());
  EXPECT_EQ(text, "\xD0\xA8\xD1\x85\xD0\x93\xD1\x85\xD0\x92     96 x 67 x 78 \xD1\x81\xD0\xBC.");
  EXPECT_EQ(Windows1251(text), "\xD8\xF5\xC3\xF5\xC2     96 x 67 x 78 \xF1\xEC.");
}

TEST_F(FirstEntryTexts, PriceIsPlainRoubles) {
  const std::string text = PriceText(First());
  EXPECT_EQ(text, "2262 \xD1\x80\xD1\x83\xD0\xB1.");
  EXPECT_EQ(Windows1251(text), "2262 \xF0\xF3\xE1.");
}

TEST_F(FirstEntryTexts, NameIsTheDisplayName) {
  EXPECT_EQ(NameText(First()), First().name);
  EXPECT_EQ(Windows1251(NameText(First())).substr(0, 18),
            "\xD1\xF2\xEE\xEB \xEA\xEE\xEC\xEF\xFC\xFE\xF2\xE5\xF0\xED\xFB\xE9 ");
}

TEST(ResultTexts, NumbersAreWrittenWithoutGrouping) {
  DeskCatalogue catalogue;
  catalogue.Fill();
  const DeskRecord& priciest = catalogue.Entry(66);
  EXPECT_EQ(PriceText(priciest), "8990 руб.");
  EXPECT_EQ(DimensionsText(priciest), "ШхГхВ     160 x 100 x 134 см.");
}

TEST(ResultTexts, NotFoundTextHasTwoCarriageReturnsAndNoLineFeeds) {
  const std::string text(kNotFoundText);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(Windows1251(text),
            "\xF2\xE0\xEA\xE8\xF5 \xF1\xF2\xEE\xEB\xEE\xE2 \xED\xE5\xF2 :-((\r\r"
            "\xC8\xE7\xEC\xE5\xED\xE8\xF2\xE5 \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB "
            "\xEF\xEE\xE8\xF1\xEA\xE0 \xE8 \xE2\xFB\xEF\xEE\xEB\xED\xE8\xF2\xE5 "
            "\xEF\xEE\xE8\xF1\xEA \xF1\xED\xEE\xE2\xE0");
}

}  // namespace
}  // namespace deskfind
