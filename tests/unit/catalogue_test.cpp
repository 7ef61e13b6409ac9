#include "catalogue/desk_catalogue.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace deskfind {
namespace {

class CatalogueSearch : public ::testing::Test {
 protected:
  void SetUp() override { catalogue.Fill(); }

  std::vector<int> Find(int minimum, int maximum) {
    catalogue.Search(minimum, maximum, matches);
    return {matches.begin(), matches.end()};
  }

  static std::vector<int> Range(int first, int last) {
    std::vector<int> numbers;
    for (int n = first; n <= last; ++n) numbers.push_back(n);
    return numbers;
  }

  DeskCatalogue catalogue;
  MatchList matches;
};

TEST_F(CatalogueSearch, BothSidesOpenListsEveryEntryInCatalogueOrder) {
  EXPECT_EQ(Find(DeskCatalogue::kOpenMinimum, DeskCatalogue::kOpenMaximum), Range(1, 80));
  EXPECT_EQ(matches.Count(), 80);
}

TEST_F(CatalogueSearch, BoundsAreInclusive) {
  EXPECT_EQ(Find(60, 60), std::vector<int>{26});
  EXPECT_EQ(Find(160, 160), std::vector<int>{66});
}

TEST_F(CatalogueSearch, KeepsCatalogueOrderWithoutSorting) {
  std::vector<int> expected = Range(13, 20);
  expected.insert(expected.end(), {63, 65, 70, 76});
  EXPECT_EQ(Find(130, 140), expected);
}

TEST_F(CatalogueSearch, MinimumAboveMaximumFindsNothing) {
  EXPECT_TRUE(Find(150, 100).empty());
  EXPECT_TRUE(matches.Empty());
}

TEST_F(CatalogueSearch, OpenMaximumFromSeventy) {
  std::vector<int> expected;
  for (int n : Range(1, 80)) {
    if (n != 26 && n != 32 && n != 38) expected.push_back(n);
  }
  EXPECT_EQ(Find(70, DeskCatalogue::kOpenMaximum), expected);
}

TEST_F(CatalogueSearch, EachSearchStartsFromAnEmptyList) {
  Find(0, 200);
  EXPECT_EQ(Find(60, 60), std::vector<int>{26});
  EXPECT_EQ(matches.Count(), 1);
  Find(150, 100);
  EXPECT_EQ(matches.Count(), 0);
}

TEST(CatalogueBeforeFill, FindsNothing) {
  DeskCatalogue catalogue;
  MatchList matches;
  catalogue.Search(0, 200, matches);
  EXPECT_EQ(matches.Count(), 0);
}

TEST(CatalogueData, EntriesAreConsistentShopData) {
  DeskCatalogue catalogue;
  catalogue.Fill();
  std::set<int> articles;
  std::set<std::string> names;
  std::set<std::string> models;
  for (int n = 1; n <= DeskCatalogue::kSize; ++n) {
    const DeskRecord& desk = catalogue.Entry(n);
    SCOPED_TRACE("entry " + std::to_string(n));
    EXPECT_EQ(desk.number, n);
    EXPECT_GE(desk.width, 60);
    EXPECT_LE(desk.width, 160);
    EXPECT_GT(desk.depth, 0);
    EXPECT_GT(desk.height, 0);
    EXPECT_GT(desk.price, 0);
    // Seven digits and no leading zero.
    EXPECT_GE(desk.article, 1000000);
    EXPECT_LE(desk.article, 9999999);
    EXPECT_TRUE(articles.insert(desk.article).second) << "article repeats: " << desk.article;
    EXPECT_TRUE(names.insert(std::string(desk.name)).second) << "name repeats: " << desk.name;

    // A name is a kind phrase, a model code and perhaps an ending.
    const std::string name(desk.name);
    std::string rest;
    for (const char* kind : {"Стол компьютерный ", "Стойка для компьютера ", "Стол письменный "}) {
      if (name.rfind(kind, 0) == 0) rest = name.substr(std::string(kind).size());
    }
    ASSERT_FALSE(rest.empty()) << name;
    const std::string model = rest.substr(0, rest.find(' '));
    EXPECT_TRUE(models.insert(model).second) << "model code repeats: " << model;
  }
  EXPECT_THROW(catalogue.Entry(0), std::out_of_range);
  EXPECT_THROW(catalogue.Entry(81), std::out_of_range);
}

}  // namespace
}  // namespace deskfind
