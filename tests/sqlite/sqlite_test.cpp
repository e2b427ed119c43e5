// SQLite is linked into every build (the system library on Linux, the amalgamation
// compiled with the cross compiler on Windows) and works.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

TEST(Sqlite, LibraryMatchesHeaderAndRunsQueries) {
  EXPECT_STREQ(sqlite3_libversion(), SQLITE_VERSION);
  EXPECT_EQ(sqlite3_libversion_number(), SQLITE_VERSION_NUMBER);
  EXPECT_NE(sqlite3_threadsafe(), 0);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  char* error = nullptr;
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE Score (Name TEXT NOT NULL, Rating INTEGER);"
                         "INSERT INTO Score VALUES ('game.exe', 90), ('Störung.exe', -1);",
                         nullptr, nullptr, &error),
            SQLITE_OK)
      << (error ? error : "");

  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT Name, Rating FROM Score WHERE Rating < ? ORDER BY Name",
                               -1, &stmt, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_bind_int(stmt, 1, 100), SQLITE_OK);
  std::vector<std::string> rows;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    rows.push_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) + "=" +
                   std::to_string(sqlite3_column_int(stmt, 1)));
  }
  EXPECT_EQ(sqlite3_finalize(stmt), SQLITE_OK);
  EXPECT_EQ(rows, (std::vector<std::string>{"Störung.exe=-1", "game.exe=90"}));

  // Errors come back as codes and messages.
  EXPECT_EQ(sqlite3_exec(db, "SELECT * FROM Missing", nullptr, nullptr, nullptr), SQLITE_ERROR);
  EXPECT_STREQ(sqlite3_errmsg(db), "no such table: Missing");
  EXPECT_EQ(sqlite3_close(db), SQLITE_OK);
}

}  // namespace
