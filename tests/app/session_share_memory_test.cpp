// The host's shared list of game processes, read the way the game desktop reads it.
#include <gtest/gtest.h>

#include <cstring>

#include "diag/uSessionShareMemory.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

// The host's side: the event (signalled) and the mapping with a count and identifiers.
class HostList {
 public:
  explicit HostList(const std::vector<uint32_t>& pids, uint32_t count) {
    event_ = plat::CreateEventW(false, true, kSessionEventName);
    mapping_ = plat::CreateFileMappingW(kSessionMappingName, kSessionMappingSize);
    view_ = plat::MapViewOfFile(mapping_);
    std::memcpy(view_, &count, 4);
    std::memcpy(static_cast<unsigned char*>(view_) + 4, pids.data(), pids.size() * 4);
  }
  ~HostList() {
    plat::UnmapViewOfFile(view_);
    plat::CloseHandle(mapping_);
    plat::CloseHandle(event_);
  }
  plat::Handle event() const { return event_; }

 private:
  plat::Handle event_ = 0;
  plat::Handle mapping_ = 0;
  void* view_ = nullptr;
};

// Positions count from 1 among the first "count" entries (a count above the table is
// cut); while the host holds the lock the list reads as empty.
TEST(SessionShareMemory, FindsProcessesByPositionAmongTheValidEntries) {
  test::Sandbox sandbox;
  {
    HostList host({4711, 815, 4711, 99}, 3);
    TSessionShareMemory shared;
    ASSERT_TRUE(shared.Valid());
    EXPECT_EQ(shared.ReadProcessIds(), (std::vector<uint32_t>{4711, 815, 4711}));
    EXPECT_EQ((std::vector<uint32_t>{shared.Lookup(4711), shared.Lookup(815), shared.Lookup(99),
                                     shared.Lookup(1)}),
              (std::vector<uint32_t>{1, 2, 0, 0}));
    ASSERT_EQ(plat::WaitForSingleObject(host.event(), 0), plat::kWAIT_OBJECT_0);  // host takes it
    EXPECT_TRUE(shared.ReadProcessIds().empty());
    EXPECT_EQ(shared.Lookup(4711), 0u);
  }
  std::vector<uint32_t> pids(kSessionMaxEntries, 7);
  pids.back() = 8;
  HostList host(pids, 100000);
  EXPECT_EQ(TSessionShareMemory().Lookup(8), kSessionMaxEntries);
}

}  // namespace
