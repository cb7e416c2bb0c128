#pragma once
// Compares fresh readings of the registry startup sections with the snapshot, asks the user
// about every difference, and puts refused ones back.
#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/AdministratorUndo.h"
#include "app/AllowRules.h"
#include "app/Baseline.h"
#include "app/CompareSection.h"
#include "app/ElevatedRequest.h"
#include "app/MonitorHost.h"
#include "app/Refusals.h"
#include "app/ReportOnce.h"
#include "app/SectionWatches.h"
#include "app/SignerRecorder.h"
#include "app/Switches.h"
#include "catalogue/SectionReadings.h"
#include "catalogue/Startups.h"

namespace korvalis::app {

// How long a removal or a change waits for its place to be quiet before it is asked: a value
// deleted and written again, or a file replaced by its copy, is then no question at all.
struct TSettling {
  std::chrono::milliseconds quiet{0};    // the place read with the same differences this long
  std::chrono::milliseconds longest{0};  // asked by then, however often the place changes
};
// The program's: none (the default) asks at the check that finds the difference.
constexpr TSettling kSettling{std::chrono::seconds(2), std::chrono::seconds(10)};

class TChangeMonitor {
 public:
  TChangeMonitor(const platform::Platform& platform, const TSwitches& switches, MonitorHost& host,
                 TSectionWatches::Clock clock = std::chrono::steady_clock::now, TSettling settling = {});

  // Takes the whole snapshot anew, accepting the present state; while a check is walking the
  // snapshot the renewal waits until the check has ended.
  void TakeSnapshot();
  // One sweep over the registry sections, current user's first; only the sections whose keys
  // changed (or that are due for their safety read) are read. None starts inside another
  // check or inside a renewal.
  void CheckAllSections();
  void CheckSection(const catalogue::TPlace& place);

  // At start, before the switches are read: Korvalis's own settings are compared with the
  // stored baseline, so that a switch another program changed meanwhile is asked about before
  // it takes effect.
  void CheckOwnSettings();
  // At start, once the switches are read: the stored baseline stands in the snapshot, so the
  // next check asks about what changed while the program was not running. From now on every
  // renewal is stored.
  void StartFromBaseline();
  // The program wrote these values of the section itself: what they hold now is accepted, the
  // section's other values stay as they were accepted; waits while a check is under way.
  void AcceptOwnWrite(catalogue::Section section, const std::vector<std::string>& valueNames);
  // Entries the user refused; one that comes back unchanged is undone without a question.
  const std::vector<TRefusal>& Refusals() const { return refusals_.All(); }
  // Forgets them; asked while a check waits for an answer, once the check has ended.
  void ClearRefusals();
  // Refused changes that could not be undone for lack of rights, and whose undo as administrator
  // the system's prompt declined or was not offered again so soon; their refusals stand.
  const std::vector<TUndoOperation>& PendingUndos() const { return administrator_.Waiting(); }
  // Tries them again through the elevated copy.
  void UndoPendingAsAdministrator();
  // The rules that allow changes of one entry signed by one signer, as accepted.
  std::vector<TAllowRule> AllowRules() const { return RulesIn(snapshot_); }
  // Writes the rule (added) or deletes it, as the program's own change; raises the write's error.
  void ChangeAllowRule(const TAllowRule& rule, bool added);
  // How long a check waits for the files that tell an update; longer, and the change is asked.
  static constexpr std::chrono::milliseconds kUpdateCheckLimit{3000};
  // More differences than this in one check are asked in one question.
  static constexpr std::size_t kSingleQuestionsAtMost = 3;

  // The overview's actions on entries of the snapshot, by section and value name, carried out as
  // a No is: written back, offered as administrator where rights are missing, then taken into the
  // snapshot. Delete refuses each as if it had just come in (removed, a file or task definition
  // to the quarantine, a service disabled; undone again when it comes back); Disable turns it
  // off in Task Manager's switch, or disables a service, and hands back the names of those whose
  // place has no off state. Nothing is done, and false returned, while a check is under way.
  using TEntryName = std::pair<catalogue::Section, std::string>;
  bool DeleteEntries(const std::vector<TEntryName>& entries);
  bool DisableEntries(const std::vector<TEntryName>& entries, std::vector<std::string>& notDisabled);
  // Puts back what a recent update told replaced, and refuses the update from then on.
  enum class UpdateUndo { Undone, NoRecentUpdate, EarlierGone, Busy };
  UpdateUndo UndoUpdate(const TEntryName& entry);
  // The command a recent update replaced, to be shown before it is put back; none when there is none.
  std::optional<std::string> UpdatedFrom(const TEntryName& entry) const;
  static constexpr std::size_t kRecentUpdatesKept = 64;

  // Whether a place's removals or changes wait for it to be quiet, and how long until the first
  // of them is due to be read again (zero when it is due now).
  bool Settling() const { return !held_.empty(); }
  std::optional<std::chrono::milliseconds> SettleWait() const;
  // Asks at once what waits for its place to be quiet: with monitoring switched off nothing
  // would check it again, and switching on takes each place as it stands. After a check under way.
  void AskHeldNow();

  const catalogue::TStartups& Snapshot() const { return snapshot_; }
  // The accepted entry of that name in that place; nullptr when there is none.
  const catalogue::TStartup* SnapshotEntry(const TEntryName& name) const;
  // What a check waits for: the system events of every watched key and folder.
  std::vector<std::uintptr_t> ChangeEvents() const { return watches_.NativeEvents(); }
  bool Checking() const { return checking_ > 0; }

 private:
  // Reads the section afresh, again when it changed while being read (a few times at most).
  void ReadSettled(catalogue::TStartups& into, const catalogue::TPlace& place, catalogue::ReadProblems& problems);
  void ReportNewProblems(catalogue::Section section, const catalogue::ReadProblems& problems);
  // The entries of the restore list whose write-back failed; those the system refused for lack
  // of rights at a place an administrator may undo are not reported but handed back with their
  // messages.
  std::vector<const catalogue::TStartup*> WriteBack(
      const catalogue::TStartups& restore, std::vector<std::pair<const catalogue::TStartup*, std::string>>& refused);
  using Undone = TAdministratorUndo::Undone;
  struct Outcome;
  struct Plan;
  // What the snapshot keeps of each entry once the answers are carried out, and the restore
  // list of what is written back.
  Plan PlanAnswers(const catalogue::TStartups& fresh, const TSectionComparison& comparison,
                   const std::vector<bool>& allowed, catalogue::TStartups& restore);
  // The write-backs the system refused for lack of rights, offered as administrator; those
  // carried out leave failed, and those waiting for another try are returned. repeated: the
  // write-backs of standing refusals, asked nothing now.
  std::unordered_set<const catalogue::TStartup*> UndoRefused(
      const std::vector<std::pair<const catalogue::TStartup*, std::string>>& refused, const Plan& plan,
      const std::unordered_set<const catalogue::TStartup*>& repeated, std::vector<const catalogue::TStartup*>& failed);
  // Tells of each standing refusal undone again, or waiting for administrator rights, once the
  // write-back showed which.
  void NoticeAgain(catalogue::Section section, const std::vector<TDifference>& differences,
                   const std::vector<std::size_t>& again, const Plan& plan,
                   const std::vector<const catalogue::TStartup*>& failed,
                   const std::unordered_set<const catalogue::TStartup*>& pending);
  // What was put off while a check ran: the program's own writes, a clearing of the refusals, a
  // renewal.
  void AfterCheck();
  // The entries kept are handed over from the reading, the snapshot and the restore list.
  void RenewSection(catalogue::Section section, catalogue::TStartups& fresh, catalogue::TStartups& restore,
                    const std::vector<Outcome>& outcomes, const std::vector<const catalogue::TStartup*>& failed);
  void RenewAll();
  // Whether the differences wait for the place to be quiet: only removals and changes that
  // would be asked, never at the first check after the start, and not past the settling's times.
  bool HoldsBack(const catalogue::TPlace& place, const TSectionComparison& comparison, bool offline);
  void CheckHeld();
  // Whether each difference is allowed: asked (one by one, or all in one question), taken as it
  // stands where the place does not ask, or undone again as a standing refusal. offline: the
  // first check of the place after the start from the baseline.
  // again: the standing refusals undone again without a question.
  std::vector<bool> Decide(const catalogue::TPlace& place, const std::vector<TDifference>& differences, bool offline,
                           std::vector<std::size_t>& again);
  // Asks the differences named by asked, one by one or in one question, into allowed; whether
  // each answer was the user's (not a No because the program is ending).
  std::vector<bool> Ask(const catalogue::TPlace& place, const std::vector<TDifference>& differences,
                        const std::vector<std::size_t>& asked, bool offline, std::vector<bool>& allowed);
  // The second question before a boot or system driver is undone, for the Nos among asked and
  // the standing refusals driversBack; without a Yes each is allowed as it stands.
  void ConfirmDriverUndos(catalogue::Section section, const std::vector<TDifference>& differences,
                          const std::vector<std::size_t>& asked, const std::vector<std::size_t>& driversBack,
                          const std::vector<bool>& byUser, std::vector<bool>& allowed,
                          std::vector<std::size_t>& again);
  // The changes among candidates that are updates by the same publisher are told and taken;
  // the others are returned, to be asked.
  std::vector<std::size_t> TellUpdates(const std::vector<TDifference>& differences,
                                       const std::vector<std::size_t>& candidates);
  std::string RecordedSigner(const std::string& programFile) const;
  // Every accepted entry's signer is read in the background, and stored once it is known.
  void WantSigners();
  void CollectSigners();
  void KeepUpdatedFrom(const catalogue::TStartup& before);
  // What the recent updates replaced, kept across a restart.
  void StoreRecentUpdates();
  void LoadRecentUpdates();
  const TBaselineEntry* RecentUpdateOf(const TEntryName& name) const;
  // The changes among candidates whose program file is signed as a rule of the user's says are
  // taken unasked; the others are returned, to be asked.
  std::vector<std::size_t> AllowByRules(const std::vector<TDifference>& differences,
                                        const std::vector<std::size_t>& candidates,
                                        const std::vector<TAllowRule>& rules);
  // One question; false also when the program is ending, which byUser then tells.
  bool ConfirmChange(const TChangeQuestion& question, bool offline, bool& byUser);
  void Log(const std::string& what, const catalogue::TStartup& entry);
  std::int64_t NowSeconds() const;
  // Puts the stored entries of the section in the snapshot, to be compared with at its next check.
  void AdoptStored(const TBaseline& baseline, const catalogue::TPlace& place);
  void ReadIntoSnapshot(const catalogue::TPlace& place,
                        std::vector<std::pair<catalogue::Section, catalogue::ReadProblems>>& found);
  // The places a usable stored baseline holds, while the program starts; none after.
  catalogue::SectionSet StoredAtStart();
  void ReadDeferred(catalogue::SectionSet adopted);
  // What would be stored now, encoded: the snapshot's entries, the places guarded and the refusals.
  std::vector<std::uint8_t> CurrentBaseline() const;
  void StoreBaseline();
  // The places of the order that are places of their own here.
  catalogue::PlaceList GuardedPlaces(const catalogue::PlaceList& order) const;
  const catalogue::PlaceList& Sweep() const;
  bool Swept(catalogue::Section section) const;
  bool OtherViewOwnKey(const catalogue::TPlace& place) const;
  // What a refused addition of a value that is never deleted writes back; the added entry itself
  // (taken as it stands) when that cannot be told.
  const catalogue::TStartup* KeptInstead(catalogue::TStartups& restore, const catalogue::TStartup& added);
  static const catalogue::TStartup* RestoreCopy(catalogue::TStartups& restore, const catalogue::TStartup& before);

  // Writes back the restore list, whose entry i stands for now[i] (nullptr: nothing there now);
  // refuse: each is remembered as a refusal of now[i].
  void CarryOut(const catalogue::TStartups& restore, const std::vector<const catalogue::TStartup*>& now, bool refuse);

  TSectionWatches::Clock clock_;
  TSettling settling_;
  struct Held {
    std::chrono::steady_clock::time_point since;      // first read so
    std::chrono::steady_clock::time_point changedAt;  // its differences last read otherwise
    std::string differences;                          // as read then, to tell a further change
    std::chrono::steady_clock::time_point Due(const TSettling& settling) const {
      return std::min(changedAt + settling.quiet, since + settling.longest);
    }
  };
  std::map<catalogue::Section, Held> held_;  // not decided, not renewed: the snapshot keeps the accepted state
  // When a place that came back as accepted was first read changed, and when it came back: a
  // wait does not start anew while it keeps coming and going.
  std::map<catalogue::Section,
           std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>>
      cameBack_;
  std::chrono::steady_clock::time_point FirstSeen(catalogue::Section section, std::chrono::steady_clock::time_point now);
  bool askHeld_ = false;
  platform::Platform platform_;
  const TSwitches& switches_;
  MonitorHost& host_;
  catalogue::TStartups snapshot_;
  TSectionWatches watches_;
  int checking_ = 0;
  int renewing_ = 0;
  bool renewalPending_ = false;
  bool baselineStarted_ = false;
  std::optional<TBaselineLoad> startLoad_;  // read for the first snapshot and the own settings, used for the rest
  catalogue::SectionSet deferred_;          // not read into the first snapshot: the baseline holds them
  // The SHA-256 of the encoding last saved, not a copy of every entry and task definition again:
  // an unchanged baseline is not written again. Empty before the first save.
  std::string storedDigest_;
  catalogue::SectionSet offlineSections_;   // not checked since the start from the baseline
  catalogue::SectionSet startedSections_;   // taken from the baseline before the rest
  std::vector<std::pair<catalogue::Section, std::vector<std::string>>> ownWrites_;  // while a check runs
  TRefusals refusals_;
  // What the recent updates told replaced, oldest first, for an undo from the overview.
  std::vector<TBaselineEntry> updatedFrom_;
  // The signers of accepted entries' program files, by path with ASCII letters folded.
  std::unordered_map<std::string, std::string> signers_;
  TSignerRecorder signerRecorder_;
  TAdministratorUndo administrator_;
  bool clearPending_ = false;
  TReportOnce saveErrors_;
  struct ViewAnswer {
    bool shared = false;
    bool byKey = false;  // told by the key itself, not by an ancestor of the missing key
  };
  mutable std::map<catalogue::Section, ViewAnswer> sharedViews_;  // asked once per place
  void ForgetViewGuess(const catalogue::TPlace& place);
  // The sweep's order, worked out again only when the switch or an answer above changed.
  mutable catalogue::PlaceList sweep_;
  catalogue::PlaceList sweeping_;  // the sweep under way
  mutable bool sweepKnown_ = false;
  mutable bool sweepAllPlaces_ = false;
  std::array<TReportOnce, catalogue::kSectionCount> readProblems_;
};

}  // namespace korvalis::app
