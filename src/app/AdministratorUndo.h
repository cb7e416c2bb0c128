#pragma once
// Refused changes the system would not put back for lack of rights: offered to be undone as
// administrator through the elevated copy, and kept when its prompt is declined, across a restart
// too, until the user tries again from the refused entries.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/Baseline.h"
#include "app/ElevatedRequest.h"
#include "app/MonitorHost.h"
#include "app/Switches.h"
#include "platform/Platform.h"

namespace korvalis::app {

// %LOCALAPPDATA%\Korvalis\undos-waiting.dat; empty when there is no such folder.
std::string WaitingUndosPath(platform::Environment& environment);

class TAdministratorUndo {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  TAdministratorUndo(const platform::Platform& platform, const TSwitches& switches, MonitorHost& host, Clock clock);

  // What became of one undo.
  enum class Undone { Yes, No, Pending };
  // Offers the undos (when offer is false they were asked for already), runs them through the
  // elevated copy, checks every place again and reports what is still there by name. A refusal
  // undone again (repeated) that was offered in the last ten minutes is not offered again: it
  // waits with the others.
  std::vector<Undone> Run(const std::vector<TUndoOperation>& undos, const std::vector<std::string>& messages,
                          bool offer, const std::vector<bool>& repeated = {});
  // Those whose prompt was declined or not answered; their refusals stand.
  const std::vector<TUndoOperation>& Waiting() const { return waiting_; }
  std::vector<TUndoOperation> TakeWaiting();
  void Clear();
  // At start: the undos kept by the last run that still belong to a standing refusal.
  void Restore(const std::vector<TRefusal>& refusals);

  static constexpr std::int64_t kOfferEverySeconds = 10 * 60;

 private:
  // Runs the requests; those not carried out because the prompt was declined wait.
  std::vector<Undone> Elevate(const std::vector<TUndoOperation>& undos);
  void Wait(const TUndoOperation& undo);
  void Store();
  std::int64_t Now() const;

  platform::Platform platform_;
  const TSwitches& switches_;
  MonitorHost& host_;
  Clock clock_;
  std::vector<TUndoOperation> waiting_;
  std::unordered_map<std::string, std::int64_t> offered_;  // by entry, seconds
};

}  // namespace korvalis::app
