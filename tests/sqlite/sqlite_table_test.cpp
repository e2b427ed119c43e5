// The SQLite object layer against real database files in a scratch folder: the
// rating lookup's query, storage types, and every failure's message.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>

#include "config/SQLiteTable3.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScoreDb.h"

namespace {

using Type = TSQLiteTable::TColumnType;

// A connection of its own on the file, as another program would hold it.
class RawDb {
 public:
  explicit RawDb(const std::string& windowsPath) {
    const std::string native = plat::NativeFilePath(windowsPath);
    EXPECT_FALSE(native.empty()) << windowsPath;
    EXPECT_EQ(sqlite3_open(native.c_str(), &db_), SQLITE_OK);
  }
  ~RawDb() { sqlite3_close(db_); }
  void Exec(const std::string& sql) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << sql << ": " << (error ? error : "");
    sqlite3_free(error);
  }

 private:
  sqlite3* db_ = nullptr;
};

void MakeScoreDb(const std::string& path) {
  test::WriteScoreDb(plat::NativeFilePath(path),
                     {{"game.exe", "Trevanic", "Game", 85.5, std::nullopt},
                      {"updater.exe", "O'Brien Ltd", "Tool's Box", 90, 1},
                      {"störung.exe", "Ärger GmbH", "Prüfer", 79.9, 0}});
}

// Runs `body`, which must raise ESQLiteException; returns it.
template <typename F>
ESQLiteException Raised(F body) {
  try {
    body();
  } catch (const ESQLiteException& e) {
    return e;
  }
  ADD_FAILURE() << "no ESQLiteException";
  return ESQLiteException("");
}

const char kLookup[] =
    "select suggest,userSubmit from [process] where process = 'game.exe' and "
    "lower(corporation) = 'trevanic' and lower(productname) = 'game'";

TEST(SQLiteTable, RatingLookupReadsTheFirstRow) {
  test::Sandbox box;
  MakeScoreDb(box.Path("Score.db"));
  TSQLiteDatabase db(box.Path("Score.db"));

  std::unique_ptr<TSQLiteTable> t = db.QueryTable(kLookup);
  ASSERT_EQ(t->RowCount(), 1);
  EXPECT_EQ(t->ColumnCount(), 2);
  EXPECT_FALSE(t->AtEnd());
  // Column names are found whatever their case.
  EXPECT_EQ(t->ColumnIndex("SUGGEST") + 10 * t->ColumnIndex("USERSUBMIT"), 10);
  EXPECT_DOUBLE_EQ(t->FloatAt(t->ColumnIndex("suggest")), 85.5);
  // A NULL userSubmit reads as 0.
  EXPECT_TRUE(t->IsNullAt(1));
  EXPECT_EQ(t->IntegerAt(t->ColumnIndex("userSubmit")), 0);
  EXPECT_EQ(t->StringAt(1) + txt::FloatToStr(t->FloatAt(1), '.'), "0");

  ESQLiteException e = Raised([&] { t->ColumnIndex("rating"); });
  EXPECT_STREQ(e.what(), "Field not found in dataset: rating");
  EXPECT_EQ(e.ErrorCode(), 0);

  t->Next();
  EXPECT_TRUE(t->AtEnd());
  EXPECT_STREQ(Raised([&] { t->FloatAt(0); }).what(), "Table is at End of File");
  t->MoveFirst();
  EXPECT_EQ(t->IntegerAt(0), 85);

  // Quoted apostrophes, and UTF-8 in the statement and in the result.
  t = db.QueryTable(
      "select suggest,userSubmit from [process] where process = 'updater.exe' and "
      "lower(corporation) = 'o''brien ltd' and lower(productname) = 'tool''s box'");
  ASSERT_EQ(t->RowCount(), 1);
  EXPECT_EQ(t->IntegerAt(t->ColumnIndex("userSubmit")), 1);
  t = db.QueryTable("select corporation, suggest from [process] where process = 'störung.exe'");
  EXPECT_EQ(t->StringAt(t->ColumnIndex("corporation")), "Ärger GmbH");
  EXPECT_DOUBLE_EQ(t->FloatAt(t->ColumnIndex("SUGGEST")), 79.9);

  // No matching row: an empty table without columns (they come with the first row).
  t = db.QueryTable("select suggest,userSubmit from [process] where process = 'none.exe'");
  EXPECT_TRUE(t->RowCount() == 0 && t->AtEnd() && t->ColumnCount() == 0);
  EXPECT_STREQ(Raised([&] { t->IntegerAt(0); }).what(), "Table is at End of File");
  EXPECT_STREQ(Raised([&] { t->ColumnIndex("suggest"); }).what(),
               "Field suggest Not found. Empty dataset");
}

TEST(SQLiteTable, StorageTypesComeFromTheFirstRow) {
  test::Sandbox box;
  {
    RawDb raw(box.Path("Types.db"));
    raw.Exec(
        "CREATE TABLE t (i INTEGER, b boolean, n Numeric, f float, d DOUBLE, r real, bl BLOB, "
        "s TEXT, v VARCHAR(10), x INT);"
        "INSERT INTO t VALUES (-7, 1, 2.75, -2.9, 1e300, 3, x'00ff41', '12', 'abc', 42);"
        "INSERT INTO t VALUES ('5', 0, 3, 2.9, 0, '4.5', NULL, 'x', NULL, 43);");
  }
  TSQLiteDatabase db(box.Path("Types.db"));
  std::unique_ptr<TSQLiteTable> t = db.QueryTable("select * from t");
  ASSERT_EQ(t->RowCount(), 2);
  ASSERT_EQ(t->ColumnCount(), 10);
  const Type expected[] = {Type::Integer, Type::Integer, Type::Float, Type::Float, Type::Float,
                           Type::Float,   Type::Blob,    Type::Text,  Type::Text,  Type::Text};
  for (int c = 0; c < 10; ++c)
    EXPECT_EQ(t->ColumnType(c), expected[c]) << c;

  EXPECT_EQ(t->IntegerAt(0), -7);
  EXPECT_DOUBLE_EQ(t->FloatAt(0), -7.0);
  EXPECT_EQ(t->IntegerAt(1), 1);
  EXPECT_EQ(t->IntegerAt(2), 2);          // 2.75 truncated
  EXPECT_EQ(t->IntegerAt(3), -2);         // -2.9 truncated toward zero
  EXPECT_EQ(t->IntegerAt(4), INT64_MAX);  // beyond the 64-bit range: clamped
  EXPECT_DOUBLE_EQ(t->FloatAt(5), 3.0);
  EXPECT_EQ(t->StringAt(6), std::string("\0\xff"
                                        "A",
                                        3));
  EXPECT_EQ(t->StringAt(7), "12");
  // Text, blob and other declared types are no numbers, whatever they hold.
  for (int c : {6, 7, 8, 9}) {
    ESQLiteException e = Raised([&] { t->IntegerAt(c); });
    EXPECT_STREQ(e.what(), "Not an integer or numeric field") << c;
    EXPECT_STREQ(Raised([&] { t->FloatAt(c); }).what(), "Not an integer or numeric field") << c;
  }
  EXPECT_EQ(t->StringAt(9), "42");

  t->Next();
  EXPECT_EQ(t->IntegerAt(0), 5);  // text in an integer column is converted
  EXPECT_EQ(t->IntegerAt(3), 2);
  EXPECT_DOUBLE_EQ(t->FloatAt(5), 4.5);
  EXPECT_TRUE(t->IsNullAt(6));
  EXPECT_EQ(t->IntegerAt(8), 0);  // a NULL cell reads 0 in any column

  // A bad field index is refused, not read out of bounds.
  EXPECT_STREQ(Raised([&] { t->IntegerAt(10); }).what(), "Field index out of range: 10");
  EXPECT_STREQ(Raised([&] { t->StringAt(-1); }).what(), "Field index out of range: -1");
}

TEST(SQLiteTable, ColumnsWithoutDeclaredTypeTakeTheFirstValuesType) {
  test::Sandbox box;
  {
    RawDb raw(box.Path("Expr.db"));
    raw.Exec(
        "CREATE TABLE t (k INTEGER, v);"
        "INSERT INTO t VALUES (1, 2.5), (2, 7), (3, 'text');");
  }
  TSQLiteDatabase db(box.Path("Expr.db"));
  std::unique_ptr<TSQLiteTable> t;
  // A column without declared type (v) keeps the type of its first value for all rows.
  t = db.QueryTable("select v from t order by k");
  ASSERT_EQ(t->RowCount(), 3);
  EXPECT_EQ(t->ColumnType(0), Type::Float);
  t->Next();
  EXPECT_DOUBLE_EQ(t->FloatAt(0), 7.0);
  t->Next();
  EXPECT_DOUBLE_EQ(t->FloatAt(0), 0.0);  // 'text' read as a number

  t = db.QueryTable("select v from t order by k desc");
  EXPECT_EQ(t->ColumnType(0), Type::Text);
  EXPECT_EQ(t->StringAt(0), "text");
  t->Next();
  EXPECT_EQ(t->StringAt(0), "7");
  EXPECT_STREQ(Raised([&] { t->IntegerAt(0); }).what(), "Not an integer or numeric field");

  t = db.QueryTable("select x'0102', NULL");
  EXPECT_EQ(t->ColumnType(0), Type::Blob);
  EXPECT_EQ(t->ColumnType(1), Type::Null);

  // Blank text holds no statement and gives no rows.
  EXPECT_EQ(db.QueryTable("  -- nothing\n")->RowCount(), 0);
}

TEST(SQLiteTable, StatementErrorsCarryCodeDescriptionSqlAndSqliteMessage) {
  test::Sandbox box;
  MakeScoreDb(box.Path("Score.db"));
  TSQLiteDatabase db(box.Path("Score.db"));

  ESQLiteException e = Raised([&] { db.QueryTable("selec suggest from [process]"); });
  EXPECT_STREQ(e.what(),
               "Could not prepare SQL statement.\rError [1]: SQL error or missing database.\r"
               "\"selec suggest from [process]\": near \"selec\": syntax error");
  EXPECT_EQ(e.ErrorCode(), 1);

  e = Raised([&] { db.QueryTable("select suggest from [ratings]"); });
  EXPECT_STREQ(e.what(),
               "Could not prepare SQL statement.\rError [1]: SQL error or missing database.\r"
               "\"select suggest from [ratings]\": no such table: ratings");

  // Failing while stepping: the statement is reset and its error reported.
  e = Raised([&] { db.QueryTable("select abs(-9223372036854775807 - 1) from [process]"); });
  EXPECT_STREQ(e.what(),
               "Could not retrieve data.\rError [1]: SQL error or missing database.\r"
               "\"select abs(-9223372036854775807 - 1) from [process]\": integer overflow");
  EXPECT_EQ(e.ErrorCode(), 1);

  // The connection stays usable.
  EXPECT_EQ(db.QueryTable(kLookup)->RowCount(), 1);
}

TEST(SQLiteTable, LockedDatabaseFailsAtOnce) {
  test::Sandbox box;
  MakeScoreDb(box.Path("Score.db"));
  const std::string expected =
      std::string("Could not prepare SQL statement.\rError [5]: The database file is locked.\r\"") +
      kLookup + "\": database is locked";

  TSQLiteDatabase warm(box.Path("Score.db"));
  EXPECT_EQ(warm.QueryTable(kLookup)->RowCount(), 1);  // schema read before the lock
  {
    RawDb other(box.Path("Score.db"));
    other.Exec("BEGIN EXCLUSIVE");

    const auto start = std::chrono::steady_clock::now();
    // A fresh connection fails while preparing (it cannot read the schema).
    TSQLiteDatabase cold(box.Path("Score.db"));
    ESQLiteException e = Raised([&] { cold.QueryTable(kLookup); });
    EXPECT_EQ(e.what(), expected);
    EXPECT_EQ(e.ErrorCode(), 5);
    // A connection that knows the schema fails while stepping; same report.
    e = Raised([&] { warm.QueryTable(kLookup); });
    EXPECT_EQ(e.what(), expected);
    EXPECT_EQ(e.ErrorCode(), 5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));

    other.Exec("COMMIT");
  }
  // Nothing of the failed queries holds the file: reads work again.
  EXPECT_EQ(warm.QueryTable(kLookup)->RowCount(), 1);
}

TEST(SQLiteTable, FileThatIsNoDatabase) {
  test::Sandbox box;
  std::string junk;
  while (junk.size() < 2048)
    junk += "This is a text file and no SQLite database.\r\n";
  box.Write("Score.db", junk);

  TSQLiteDatabase db(box.Path("Score.db"));  // SQLite reads the file only when asked
  ESQLiteException e = Raised([&] { db.QueryTable(kLookup); });
  EXPECT_EQ(e.what(),
            std::string("Could not prepare SQL statement.\rError [26]: File opened that is not a "
                        "database file.\r\"") +
                kLookup + "\": file is not a database");
  EXPECT_EQ(e.ErrorCode(), 26);
  EXPECT_EQ(box.Read("Score.db"), junk);  // left as it was
}

TEST(SQLiteTable, OpenFailures) {
  test::Sandbox box;
  const std::string path = box.Path("Missing\\Score.db");
  ESQLiteException e = Raised([&] { TSQLiteDatabase db(path); });
  EXPECT_EQ(e.what(), "Failed to open database \"" + path + "\" : unable to open database file");
  EXPECT_EQ(e.ErrorCode(), 14);
  EXPECT_FALSE(box.Exists("Missing"));

  // A missing file in an existing folder is created by SQLite, empty; queries
  // against it find no tables.
  {
    TSQLiteDatabase db(box.Path("New.db"));
    EXPECT_STREQ(Raised([&] { db.QueryTable("select * from process"); }).what(),
                 "Could not prepare SQL statement.\rError [1]: SQL error or missing database.\r"
                 "\"select * from process\": no such table: process");
  }
  EXPECT_TRUE(box.Exists("New.db"));
  EXPECT_EQ(box.Read("New.db"), "");
}

}  // namespace
