#include "ftp/name_listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvex {
namespace {

TEST(NameListingTest, FindsEveryNameIgnoringCaseAndNothingElse) {
  const NameListing listing =
      NameListing::FromLines("p2m.jpg\r\nP1.JPG\n\r\n\nété.jpg\r\n2024/p5.jpg\np1.jpg\r\nlast.jpg");
  EXPECT_THAT(listing.Names(),
              ::testing::ElementsAre("2024/P5.JPG", "LAST.JPG", "P1.JPG", "P2M.JPG", "ÉTÉ.JPG"));
  EXPECT_EQ(listing.size(), 5u);  // p1.jpg and P1.JPG are one name; empty lines none
  for (const char* name : {"p1.jpg", "P2m.Jpg", "ÉTÉ.jpg", "2024/p5.JPG", "last.jpg"})
    EXPECT_TRUE(listing.Contains(name)) << name;
  // Whole names only: no prefix, no longer name, no trimming, no line break inside.
  for (const char* name : {"p1", "p1.jpg ", "p1.jpgx", "p5.jpg", "", "P1.JPG\nP2M.JPG", "zzz"})
    EXPECT_FALSE(listing.Contains(name)) << name;
  EXPECT_FALSE(NameListing().Contains("p1.jpg"));
  EXPECT_FALSE(NameListing::FromLines("\r\n\n").Contains(""));
}

}  // namespace
}  // namespace kalvex
