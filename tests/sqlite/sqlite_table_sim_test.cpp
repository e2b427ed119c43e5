// The SQLite layer on the simulated machine: files live on mapped drives only.
#include <gtest/gtest.h>

#include "config/SQLiteTable3.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(SQLiteTableSim, PathOutsideEveryMappedDriveCannotBeOpened) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  ASSERT_EQ(plat::NativeFilePath("Q:\\Data\\Score.db"), "");
  try {
    TSQLiteDatabase db("Q:\\Data\\Score.db");
    FAIL() << "opened";
  } catch (const ESQLiteException& e) {
    EXPECT_STREQ(e.what(),
                 "Failed to open database \"Q:\\Data\\Score.db\" : unable to open database file");
    EXPECT_EQ(e.ErrorCode(), 14);
  }
}

}  // namespace
