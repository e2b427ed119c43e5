#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/PSafeIniFile.h"

namespace {

// IndexOfName of each name.
std::vector<int> At(TIniHashedStringList& list, std::initializer_list<const char*> names) {
  std::vector<int> at;
  for (const char* name : names)
    at.push_back(list.IndexOfName(name));
  return at;
}

TEST(IniHashedStringList, LooksUpLinesAndNamesWithoutCase) {
  TIniHashedStringList list;
  list.Add("Alpha=1");
  list.Add("beta=2");
  list.Add("no separator");
  list.Add("ΣΙΓΜΑ=σ");
  list.Add("Привет=мир");

  EXPECT_EQ(list.IndexOf("ALPHA=1"), 0);
  EXPECT_EQ(list.IndexOf("No Separator"), 2);
  EXPECT_EQ(list.IndexOf("alpha"), -1);
  // A line without "=" has no name.
  EXPECT_EQ(At(list, {"ALPHA", "Beta", "σιγμα", "ПРИВЕТ", "no separator", ""}),
            (std::vector<int>{0, 1, 3, 4, -1, -1}));
  EXPECT_EQ(list.Names(0), "Alpha");
  EXPECT_EQ(list.ValueFromIndex(4), "мир");
  EXPECT_EQ(list.Names(2), "");
}

TEST(IniHashedStringList, CaseSensitiveListComparesExactly) {
  TIniHashedStringList list(true);
  list.Add("Key=1");
  EXPECT_EQ(list.IndexOfName("Key"), 0);
  EXPECT_EQ(list.IndexOfName("KEY"), -1);
  list.SetCaseSensitive(false);
  EXPECT_EQ(list.IndexOfName("KEY"), 0);
}

TEST(IniHashedStringList, DuplicatesFindTheFirstThroughEveryChange) {
  TIniHashedStringList list;
  list.Add("a=1");
  list.Add("b=2");
  EXPECT_EQ(list.IndexOfName("a"), 0);  // builds the hashes
  EXPECT_EQ(list.IndexOf("b=2"), 1);
  list.Add("A=3");
  list.Add("B=2");
  EXPECT_EQ(list.IndexOfName("a"), 0);
  EXPECT_EQ(list.IndexOf("b=2"), 1);
  // Renaming the first "a" leaves the second one to be found.
  list.Put(0, "c=1");
  EXPECT_EQ(At(list, {"a", "c"}), (std::vector<int>{2, 0}));
  EXPECT_EQ(list.IndexOf("a=1"), -1);
  // Deleting shifts the lines after it.
  list.Delete(0);
  EXPECT_EQ(At(list, {"b", "a", "c"}), (std::vector<int>{0, 1, -1}));
  list.Delete(list.Count() - 1);
  EXPECT_EQ(list.IndexOf("B=2"), 0);
  EXPECT_EQ(list.IndexOfName("a"), 1);
  list.Clear();
  EXPECT_EQ(list.IndexOfName("a"), -1);
  EXPECT_EQ(list.Count(), 0);
}

// "k<i>=v"
std::string Line(int i) {
  std::string line = "k";
  line += std::to_string(i);
  line += "=v";
  return line;
}

TEST(IniHashedStringList, HashesFollowAddAndPutWithoutRebuilding) {
  TIniHashedStringList list;
  for (int i = 0; i < 100; ++i)
    list.Add(Line(i));
  EXPECT_FALSE(list.ValueHashValid());
  EXPECT_EQ(list.IndexOfName("k5"), 5);
  EXPECT_EQ(list.IndexOf("k7=v"), 7);
  const int rebuilds = list.HashRebuilds();
  EXPECT_EQ(rebuilds, 2);

  for (int i = 100; i < 1000; ++i)
    list.Add(Line(i));
  // Value change: the name stays, the whole line moves.
  list.Put(500, "K500=changed");
  // Name change.
  list.Put(600, "renamed=v");
  EXPECT_TRUE(list.ValueHashValid());
  EXPECT_TRUE(list.NameHashValid());

  EXPECT_EQ(At(list, {"k999", "k500", "k600", "RENAMED"}), (std::vector<int>{999, 500, -1, 600}));
  EXPECT_EQ((std::vector<int>{list.IndexOf("K999=V"), list.IndexOf("k500=v"),
                              list.IndexOf("k500=changed")}),
            (std::vector<int>{999, -1, 500}));
  EXPECT_EQ(list.HashRebuilds(), rebuilds);

  // A delete in the middle shifts indexes: the hashes are rebuilt on the next lookup.
  list.Delete(0);
  EXPECT_EQ(list.IndexOfName("k999"), 998);
  EXPECT_EQ(list.HashRebuilds(), rebuilds + 1);
}

TEST(IniHashedStringList, OwnsObjectsAndReportsChanges) {
  TIniHashedStringList list;
  int changes = 0;
  list.OnChange = [&] { ++changes; };
  int index = list.AddObject("Section", std::make_unique<TIniHashedStringList>());
  list.Objects(index)->Add("x=1");
  EXPECT_EQ(changes, 1);  // changes inside the object are its own
  list.Put(0, "Renamed");
  list.Delete(0);
  list.Clear();  // empty: nothing to report
  EXPECT_EQ(changes, 3);
}

}  // namespace
