// The service boost module: stops the running services the user's "UserWinSvc.ini"
// chooses (system services by this Windows version's section, third services by
// "Services_3rd"), together with the services that depend on them, records them in
// the restore file "Temp.ini" ("System Services", "Third Services") and starts them
// again on restore when "FRestoreServices" is on.
//
// A service and its running dependents are recorded before anything is stopped (the
// program may end in the middle of the pass): the service first, then its
// dependents, so that the restore starts them in that order. Each stop runs on a
// thread of its own and is waited for 3 seconds; a stop that hangs ends the pass and
// is not tried again the same day. A stop that ends with the service still running
// is taken back out of the records and not counted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/uBoostBase.h"
#include "modules/service/uServiceClass.h"

class TServiceBoost : public TBoostBase {
 public:
  TServiceBoost(const std::string& Path, const std::string& SettingsFile,
                const std::string& StateFile);
  ~TServiceBoost() override;

  bool Boost() override;  // true when the restore file has records
  void Restore() override;
  bool HasRestoreData() override;

  // Sets each running record's selected flag to the user's choice; counts the chosen.
  void SelectServices();

  std::optional<int32_t> ActionCount() const override { return fActionCount.load(); }
  std::optional<int32_t> DoneCount() const override { return fDoneCount.load(); }
  std::optional<int32_t> CandidateCount() const override { return fCandidateCount.load(); }

  TServices& Catalogue() { return *fCatalogue; }

 private:
  // Stops one service (a chosen one after its dependents); false when its stop
  // timed out.
  bool StopOne(const std::string& Name, const std::string& DisplayName, bool IsThird,
               bool IsDependent, const std::string& Section);
  bool ChosenByUser(const TServiceRecord& Record) const;

  std::unique_ptr<TServices> fCatalogue;
  bool fThirdDefault = false;
  std::atomic<int32_t> fActionCount{0};
  std::atomic<int32_t> fDoneCount{0};
  std::atomic<int32_t> fCandidateCount{0};
};
