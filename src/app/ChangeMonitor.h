#pragma once
// Compares fresh readings of the registry startup sections with the snapshot, asks the user
// about every difference, and puts refused ones back.
#include <array>
#include <map>
#include <set>
#include <string>

#include "app/Baseline.h"
#include "app/CompareSection.h"
#include "app/MonitorHost.h"
#include "app/SectionWatches.h"
#include "app/Switches.h"
#include "catalogue/Startups.h"

namespace korvalis::app {

class TChangeMonitor {
 public:
  TChangeMonitor(platform::WindowHandle owner, const platform::Platform& platform, const TSwitches& switches,
                 MonitorHost& host, TSectionWatches::Clock clock = std::chrono::steady_clock::now);

  // Takes the whole snapshot anew, accepting the present state; while a check is walking the
  // snapshot the renewal waits until the check has ended.
  void TakeSnapshot();
  // Takes the entries of one place that stand for one registry value (or file) as they are now,
  // and no other difference pending there; waits, like a renewal, while a check is under way.
  void AcceptEntry(catalogue::Section section, const std::string& valueName);
  // One sweep over the registry sections, current user's first; only the sections whose keys
  // changed (or that are due for their safety read) are read.
  void CheckAllSections();
  void CheckSection(catalogue::Section section);
  bool ConfirmChange(const catalogue::TStartup& entry, catalogue::ChangeKind kind);

  // At start, once the switches are read: the stored baseline stands in the snapshot, so the
  // next check asks about what changed while the program was not running. From now on every
  // renewal is stored.
  void StartFromBaseline();
  // Entries the user refused; one that comes back unchanged is undone without a question.
  const std::vector<TRefusal>& Refusals() const { return refusals_; }
  void ClearRefusals();
  // More differences than this in one check are asked in one question.
  static constexpr std::size_t kSingleQuestionsAtMost = 3;
  static constexpr std::int64_t kNoticeEverySeconds = 60;

  const catalogue::TStartups& Snapshot() const { return snapshot_; }
  // What a check waits for: the system events of every watched key and folder.
  std::vector<std::uintptr_t> ChangeEvents() const { return watches_.NativeEvents(); }
  bool Checking() const { return checking_ > 0; }

 private:
  void LoadSection(catalogue::TStartups& into, catalogue::Section section, catalogue::ReadProblems& problems);
  // Reads the section afresh, again when it changed while being read (a few times at most).
  void ReadSettled(catalogue::TStartups& into, catalogue::Section section, catalogue::ReadProblems& problems);
  void ReportNewProblems(catalogue::Section section, const catalogue::ReadProblems& problems);
  // The entries of the restore list whose write-back failed.
  std::vector<const catalogue::TStartup*> WriteBack(const catalogue::TStartups& restore);
  struct Outcome;
  void RenewSection(catalogue::Section section, catalogue::TStartups& fresh, const std::vector<Outcome>& outcomes,
                    const std::vector<const catalogue::TStartup*>& failed);
  void RenewAll();
  void AcceptNow(catalogue::Section section, const std::string& valueName);
  void AcceptPending();
  // Whether each difference is allowed: asked (one by one, or all in one question), taken as it
  // stands where the place does not ask, or undone again as a standing refusal.
  std::vector<bool> Decide(catalogue::Section section, const std::vector<TDifference>& differences);
  void LogDecision(const catalogue::TStartup& entry, catalogue::ChangeKind kind);
  TRefusal* StandingRefusal(catalogue::Section section, const TDifference& difference);
  void RememberRefusal(catalogue::Section section, const TDifference& difference);
  void UndoAgain(const catalogue::TStartup& entry, TRefusal& refusal);
  void StoreBaseline();
  // The sections of the list, and the further places when they are guarded.
  std::vector<catalogue::Section> Guarded(const catalogue::Section* six, std::size_t count) const;
  std::vector<catalogue::Section> SweepOrder() const;
  bool OtherViewOwnKey(const catalogue::TPlace& place) const;
  static const catalogue::TStartup* RestoreCopy(catalogue::TStartups& restore, const catalogue::TStartup& before);

  TSectionWatches::Clock clock_;
  platform::WindowHandle owner_;
  platform::Platform platform_;
  const TSwitches& switches_;
  MonitorHost& host_;
  catalogue::TStartups snapshot_;
  TSectionWatches watches_;
  int checking_ = 0;
  bool renewalPending_ = false;
  std::vector<std::pair<catalogue::Section, std::string>> acceptsPending_;
  bool baselineStarted_ = false;
  catalogue::SectionSet offlineSections_;  // not checked since the start from the baseline
  std::vector<TRefusal> refusals_;
  std::string lastSaveError_;
  mutable std::map<catalogue::Section, bool> sharedViews_;  // asked once per place
  // The reading problems already shown, per section, so each is shown once while it lasts.
  std::array<std::set<std::string>, catalogue::kSectionCount> shownProblems_;
};

}  // namespace korvalis::app
