#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/PSafeIniFile.h"

namespace {

using Ints = std::vector<int>;

// IndexOfName of each name.
Ints At(TIniHashedStringList& list, std::initializer_list<const char*> names) {
  Ints at;
  for (const char* name : names)
    at.push_back(list.IndexOfName(name));
  return at;
}

TEST(IniHashedStringList, LooksUpLinesAndNamesWithoutCase) {
  TIniHashedStringList list;
  for (const char* line : {"Alpha=1", "beta=2", "no separator", "ΣΙΓΜΑ=σ", "Привет=мир"})
    list.Add(line);
  EXPECT_EQ((Ints{list.IndexOf("ALPHA=1"), list.IndexOf("No Separator"), list.IndexOf("alpha")}),
            (Ints{0, 2, -1}));
  // A line without "=" has no name.
  EXPECT_EQ(At(list, {"ALPHA", "Beta", "σιγμα", "ПРИВЕТ", "no separator", ""}),
            (Ints{0, 1, 3, 4, -1, -1}));
  EXPECT_EQ(list.ValueFromIndex(4), "мир");

  TIniHashedStringList exact(true);
  exact.Add("Key=1");
  EXPECT_EQ(At(exact, {"Key", "KEY"}), (Ints{0, -1}));
  exact.SetCaseSensitive(false);
  EXPECT_EQ(exact.IndexOfName("KEY"), 0);
}

TEST(IniHashedStringList, DuplicatesFindTheFirstThroughEveryChange) {
  TIniHashedStringList list;
  list.Add("a=1");
  list.Add("b=2");
  EXPECT_EQ(list.IndexOfName("a"), 0);  // builds the hashes
  EXPECT_EQ(list.IndexOf("b=2"), 1);
  list.Add("A=3");
  list.Add("B=2");
  EXPECT_EQ(At(list, {"a", "b"}), (Ints{0, 1}));
  EXPECT_EQ(list.IndexOf("b=2"), 1);
  // Renaming the first "a" leaves the second one to be found.
  list.Put(0, "c=1");
  EXPECT_EQ(At(list, {"a", "c"}), (Ints{2, 0}));
  EXPECT_EQ(list.IndexOf("a=1"), -1);
  // Deleting shifts the lines after it.
  list.Delete(0);
  EXPECT_EQ(At(list, {"b", "a", "c"}), (Ints{0, 1, -1}));
  list.Delete(list.Count() - 1);
  EXPECT_EQ(list.IndexOf("B=2"), 0);
  EXPECT_EQ(list.IndexOfName("a"), 1);
  // A new value: the name stays, the whole line moves. (That the hashes follow every
  // change without a rebuild shows in the speed of bench_ini.)
  list.Put(0, "b=9");
  EXPECT_EQ((Ints{list.IndexOf("b=2"), list.IndexOf("B=9"), list.IndexOfName("B")}),
            (Ints{-1, 0, 0}));
}

}  // namespace
