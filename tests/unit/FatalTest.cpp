#include <gtest/gtest.h>

#include "base/Fatal.h"
#include "tests/support/TestSupport.h"

TEST(AssertFailed, ComposesConditionFileAndLine) {
  EXPECT_EQ(FatalText([] { AssertFailed("rsize == 0", "/src/network/Graph.cpp", 950); }),
            "Assertion failed: rsize == 0, file /src/network/Graph.cpp, line 950\n");
  EXPECT_EQ(FatalText([] { AssertFailed("AdjHandle == NULL", "Graph", 1554); }),
            "Assertion failed: AdjHandle == NULL, file Graph, line 1554\n");
  // The line in decimal without leading zeros, an empty part between the others.
  for (const auto& row : {std::pair{0u, "0"}, {7u, "7"}, {1000u, "1000"}, {10000u, "10000"}, {99999u, "99999"}}) {
    EXPECT_EQ(FatalText([&row] { AssertFailed("", "f", row.first); }),
              std::string("Assertion failed: , file f, line ") + row.second + "\n");
  }
}

TEST(AssertFailed, AnOverlongPathIsCutNotOverflowed) {
  const std::string path(10000, 'p');
  const std::string text = FatalText([&] { AssertFailed("x", path.c_str(), 1); });
  EXPECT_LT(text.size(), 4096u);
  EXPECT_EQ(text.rfind("Assertion failed: x, file ppp", 0), 0u);
}

TEST(FenwaAssert, FailsOnlyWhenTheConditionIsFalse) {
  EXPECT_NO_THROW(FENWA_ASSERT(1 + 1 == 2));
  const std::string text = FatalText([] { FENWA_ASSERT(1 + 1 == 3); });
  EXPECT_EQ(text.rfind("Assertion failed: 1 + 1 == 3, file ", 0), 0u);
  EXPECT_NE(text.find("FatalTest.cpp, line "), std::string::npos);
}

TEST(DataError, CarriesTheTextOfItsNumber) {
  EXPECT_EQ(FatalText([] { DataError(3); }), "E005:Obsolete Data");
  EXPECT_EQ(FatalText([] { DataError(6); }), "E009:Insufficient nodes");
  EXPECT_EQ(FatalText([] { DataError(19); }), "E011:Insufficient RSTAT");
  EXPECT_EQ(FatalText([] { DataError(20); }), "???");
  EXPECT_EQ(FatalText([] { DataError(4); }), "unknown");
  EXPECT_EQ(FatalText([] { DataError(19, "route 2"); }), "E011:Insufficient RSTAT (route 2)");
}
