// The rating database "Score.db" as the host keeps it (table "process"), written for tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace test {

struct Rating {
  std::string process, corporation, productname;
  double suggest = 0;
  std::optional<int> userSubmit;  // none: NULL
};

// Creates the database at a host path (plat::NativeFilePath of a machine's file) with
// these rows in this order.
inline void WriteScoreDb(const std::string& nativePath, const std::vector<Rating>& rows) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(nativePath.c_str(), &db), SQLITE_OK) << nativePath;
  ASSERT_EQ(sqlite3_exec(db,
                         "create table process (process text, corporation text, productname "
                         "text, suggest real, userSubmit integer); begin",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "insert into process values (?,?,?,?,?)", -1, &insert, nullptr);
  for (const Rating& r : rows) {
    sqlite3_bind_text(insert, 1, r.process.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, r.corporation.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, r.productname.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 4, r.suggest);
    if (r.userSubmit)
      sqlite3_bind_int(insert, 5, *r.userSubmit);
    else
      sqlite3_bind_null(insert, 5);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace test
