// The SQLite object layer against real database files in a scratch folder: the
// rating lookup's query, storage types, and every failure's message.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <tuple>

#include "config/SQLiteTable3.h"
#include "platform/Platform.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScoreDb.h"

namespace {

using Type = TSQLiteTable::TColumnType;

// Runs SQL on a connection of its own, as another program would; returns it open.
sqlite3* Raw(const std::string& windowsPath, const char* sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(plat::NativeFilePath(windowsPath).c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  return db;
}

// What `body` returns, as text, or the message of the ESQLiteException it raises.
template <typename F>
std::string Outcome(F body) {
  try {
    return std::to_string(body());
  } catch (const ESQLiteException& e) {
    return std::string("! ") + e.what() +
           (e.ErrorCode() ? " #" + std::to_string(e.ErrorCode()) : "");
  }
}

const char kLookup[] =
    "select suggest,userSubmit from [process] where process = 'game.exe' and "
    "lower(corporation) = 'trevanic' and lower(productname) = 'game'";

void MakeScoreDb(const test::Sandbox& box) {
  test::WriteScoreDb(plat::NativeFilePath(box.Path("Score.db")),
                     {{"game.exe", "Trevanic", "Game", 85.5, std::nullopt}});
}

TEST(SQLiteTable, RatingLookupReadsTheFirstRow) {
  test::Sandbox box;
  MakeScoreDb(box);
  TSQLiteDatabase db(box.Path("Score.db"));
  std::unique_ptr<TSQLiteTable> t = db.QueryTable(kLookup);
  ASSERT_EQ(t->RowCount(), 1);
  // Column names are found whatever their case; a NULL userSubmit reads as 0.
  EXPECT_EQ(t->ColumnIndex("USERSUBMIT"), 1);
  EXPECT_DOUBLE_EQ(t->FloatAt(t->ColumnIndex("Suggest")), 85.5);
  EXPECT_TRUE(t->IsNullAt(1));
  EXPECT_EQ(t->IntegerAt(1) + t->FloatAt(1), 0);
  EXPECT_EQ(t->StringAt(1), "");
  EXPECT_EQ(Outcome([&] { return t->ColumnIndex("rating"); }),
            "! Field not found in dataset: rating");
  t->Next();
  EXPECT_TRUE(t->AtEnd());
  EXPECT_EQ(Outcome([&] { return t->FloatAt(0); }), "! Table is at End of File");
  t->MoveFirst();
  EXPECT_EQ(t->IntegerAt(0), 85);

  // No matching row: an empty table without columns (they come with the first row).
  t = db.QueryTable("select suggest,userSubmit from [process] where process = 'none.exe'");
  EXPECT_TRUE(t->RowCount() == 0 && t->AtEnd() && t->ColumnCount() == 0);
  EXPECT_EQ(Outcome([&] { return t->IntegerAt(0); }), "! Table is at End of File");
  EXPECT_EQ(Outcome([&] { return t->ColumnIndex("suggest"); }),
            "! Field suggest Not found. Empty dataset");
}

TEST(SQLiteTable, StorageTypesComeFromTheDeclarationOrTheFirstRow) {
  test::Sandbox box;
  sqlite3_close(Raw(box.Path("Types.db"),
                    "CREATE TABLE t (i INTEGER, b boolean, n Numeric, f float, d DOUBLE, r real, "
                    "bl BLOB, s TEXT, v VARCHAR(10), x INT, u);"
                    "INSERT INTO t VALUES (-7, 1, 2.75, -2.9, 1e300, 3, x'00ff41', 'Ä12', 'abc', "
                    "42, 2.5);"
                    "INSERT INTO t VALUES ('5', 0, 3, 2.9, -1e300, '4.5', NULL, 'x', NULL, 43, "
                    "'text');"));
  TSQLiteDatabase db(box.Path("Types.db"));
  std::unique_ptr<TSQLiteTable> t = db.QueryTable("select * from t");
  ASSERT_EQ(t->RowCount(), 2);
  const std::string noNumber = "! Not an integer or numeric field";
  // column, its type, IntegerAt in the first and in the second row. Floats are truncated
  // toward zero and clamped to the 64-bit range; a NULL cell reads 0 in any column; a
  // column without declared type keeps the type of its first value.
  const struct {
    int column;
    Type type;
    std::string first, second;
  } columns[] = {{0, Type::Integer, "-7", "5"},
                 {1, Type::Integer, "1", "0"},
                 {2, Type::Float, "2", "3"},
                 {3, Type::Float, "-2", "2"},
                 {4, Type::Float, "9223372036854775807", "-9223372036854775808"},
                 {5, Type::Float, "3", "4"},
                 {6, Type::Blob, noNumber, "0"},
                 {7, Type::Text, noNumber, noNumber},
                 {8, Type::Text, noNumber, "0"},
                 {9, Type::Text, noNumber, noNumber},
                 {10, Type::Float, "2", "0"}};
  for (const auto& c : columns) {
    t->MoveFirst();
    EXPECT_EQ(t->ColumnType(c.column), c.type) << c.column;
    EXPECT_EQ(Outcome([&] { return t->IntegerAt(c.column); }), c.first) << c.column;
    t->Next();
    EXPECT_EQ(Outcome([&] { return t->IntegerAt(c.column); }), c.second) << c.column;
  }
  EXPECT_DOUBLE_EQ(t->FloatAt(5), 4.5);
  EXPECT_EQ(Outcome([&] { return t->FloatAt(7); }), noNumber);
  t->MoveFirst();
  EXPECT_EQ(t->StringAt(6), std::string("\0\xff"
                                        "A",
                                        3));
  EXPECT_EQ(t->StringAt(7) + t->StringAt(9) + t->StringAt(0), "Ä1242-7");
  EXPECT_DOUBLE_EQ(t->FloatAt(0), -7.0);
  // A bad field index is refused, not read out of bounds.
  EXPECT_EQ(Outcome([&] { return t->IntegerAt(11); }), "! Field index out of range: 11");
  EXPECT_EQ(Outcome([&] { return t->StringAt(-1).size(); }), "! Field index out of range: -1");

  t = db.QueryTable("select u, x'0102', NULL from t order by rowid desc");
  EXPECT_EQ(t->StringAt(0), "text");
  EXPECT_EQ(t->ColumnType(1), Type::Blob);
  EXPECT_EQ(t->ColumnType(2), Type::Null);
  // Blank text holds no statement and gives no rows.
  EXPECT_EQ(db.QueryTable("  -- nothing\n")->RowCount(), 0);
}

TEST(SQLiteTable, FailuresCarryCodeDescriptionSqlAndSqliteMessage) {
  test::Sandbox box;
  MakeScoreDb(box);
  box.Write("Junk.db", std::string(2048, 'x'));
  TSQLiteDatabase db(box.Path("Score.db"));
  TSQLiteDatabase junk(box.Path("Junk.db"));  // SQLite reads the file only when asked
  const std::string prepare = "! Could not prepare SQL statement.\rError [";
  const std::string noSql = "1]: SQL error or missing database.\r\"";
  const std::tuple<TSQLiteDatabase*, std::string, std::string> failures[] = {
      {&db, "selec suggest", prepare + noSql + "selec suggest\": near \"selec\": syntax error #1"},
      {&db, "select 1 from [ratings]",
       prepare + noSql + "select 1 from [ratings]\": no such table: ratings #1"},
      // Failing while stepping: the statement is reset and its error reported.
      {&db, "select abs(-9223372036854775807 - 1)",
       "! Could not retrieve data.\rError [" + noSql +
           "select abs(-9223372036854775807 - 1)\": integer overflow #1"},
      {&junk, kLookup,
       prepare + "26]: File opened that is not a database file.\r\"" + kLookup +
           "\": file is not a database #26"}};
  for (const auto& [database, sql, message] : failures)
    EXPECT_EQ(Outcome([&] { return database->QueryTable(sql)->RowCount(); }), message);
  EXPECT_EQ(db.QueryTable(kLookup)->RowCount(), 1);        // the connection stays usable
  EXPECT_EQ(box.Read("Junk.db"), std::string(2048, 'x'));  // left as it was

  const std::string path = box.Path("Missing\\Score.db");
  EXPECT_EQ(Outcome([&] { return TSQLiteDatabase(path).QueryTable(kLookup)->RowCount(); }),
            "! Failed to open database \"" + path + "\" : unable to open database file #14");
}

TEST(SQLiteTable, LockedDatabaseFailsAtOnce) {
  test::Sandbox box;
  MakeScoreDb(box);
  const std::string expected = std::string(
                                   "! Could not prepare SQL statement.\rError [5]: The database "
                                   "file is locked.\r\"") +
                               kLookup + "\": database is locked #5";
  TSQLiteDatabase warm(box.Path("Score.db"));
  EXPECT_EQ(warm.QueryTable(kLookup)->RowCount(), 1);  // schema read before the lock
  sqlite3* other = Raw(box.Path("Score.db"), "BEGIN EXCLUSIVE");
  const auto start = std::chrono::steady_clock::now();
  // A fresh connection fails while preparing (it cannot read the schema), one that knows
  // the schema while stepping; the same report.
  TSQLiteDatabase cold(box.Path("Score.db"));
  EXPECT_EQ(Outcome([&] { return cold.QueryTable(kLookup)->RowCount(); }), expected);
  EXPECT_EQ(Outcome([&] { return warm.QueryTable(kLookup)->RowCount(); }), expected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  // Nothing of the failed queries holds the file: reads work again.
  EXPECT_EQ(warm.QueryTable(kLookup)->RowCount(), 1);
}

}  // namespace
