// Random sequences of registry changes against the guard, checked after every tick against a
// model of what the registry and the guard's accepted state should be.
//
// KORVALIS_GUARD_SEQUENCES (default 2000), KORVALIS_GUARD_FIRST_SEED (default 1) and
// KORVALIS_GUARD_STEPS (most steps per sequence, default 30) widen or narrow the run; a failure
// names its seed and step, and KORVALIS_GUARD_FIRST_SEED=<seed> KORVALIS_GUARD_SEQUENCES=1
// replays it alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "app/ChangeMonitor.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/RegistryGenerator.h"
#include "support/ScriptedHost.h"
#include "text/VisibleText.h"

namespace korvalis::app {
namespace {

using catalogue::ChangeKind;
using catalogue::Section;
using platform::RootKey;
using platform::memory::MemoryRegistry;
using platform::memory::StoredValue;
using namespace korvalis::testing;

constexpr Section kSweep[] = {8, 9, 4, 5, 6, 7};
constexpr Section kRegistrySections[] = {7, 6, 5, 4, 9, 8};

char FoldChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool Same(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

std::string TextOf(const std::vector<std::uint8_t>& data) {
  if (data.empty()) return {};
  const char* begin = reinterpret_cast<const char*>(data.data());
  const void* nul = std::memchr(begin, 0, data.size());
  return std::string(begin, nul ? static_cast<const char*>(nul) : begin + data.size());
}
std::vector<std::uint8_t> SzBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}
std::string Fold(std::string text) {
  for (char& c : text) c = FoldChar(c);
  return text;
}
bool IsString(std::uint32_t type) { return type == platform::kRegSz || type == platform::kRegExpandSz; }

struct Location {
  RootKey root;
  const char* path;
  const char* label;
};
Location LocationOf(Section section) {
  switch (section) {
    case 4: return {RootKey::LocalMachine, kRunKey, "HKLM Run"};
    case 5: return {RootKey::LocalMachine, kRunOnceKey, "HKLM RunOnce"};
    case 6: return {RootKey::LocalMachine, kRunServicesKey, "HKLM RunServices"};
    case 7: return {RootKey::LocalMachine, kRunServicesOnceKey, "HKLM RunServicesOnce"};
    case 8: return {RootKey::CurrentUser, kRunKey, "HKCU Run"};
    default: return {RootKey::CurrentUser, kRunOnceKey, "HKCU RunOnce"};
  }
}

// Printable, and short enough to read when a name or a command is a quarter of a megabyte.
std::string Show(const std::string& text) {
  std::ostringstream out;
  const std::size_t shown = std::min<std::size_t>(text.size(), 40);
  for (std::size_t i = 0; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 32 && c < 127 && c != '\\') out << text[i];
    else if (c == '\\') out << "\\\\";
    else out << "\\x" << std::hex << (c >> 4) << (c & 15) << std::dec;
  }
  if (shown < text.size()) out << "...(" << text.size() << " chars)";
  return "'" + out.str() + "'";
}
std::string Show(const std::vector<std::uint8_t>& data) { return Show(std::string(data.begin(), data.end())); }

const char* KindWord(ChangeKind kind) { return catalogue::ChangeKindNames[static_cast<int>(kind)]; }

std::string Show(const Question& q) {
  return std::string(KindWord(q.kind)) + " " + Show(q.name) + (q.valueName == q.name ? "" : " (default value)") + " " +
         Show(q.command) + " in " + LocationOf(q.section).label;
}

// ---- What the registry should hold ---------------------------------------------------------

// One startup key, as the in-memory registry keeps it: values in creation order, names
// matched with ASCII case folding, the first spelling of a name kept.
struct ModelKey {
  bool exists = false;
  bool writable = true;
  std::vector<StoredValue> values;

  StoredValue* Find(const std::string& name) {
    for (auto& value : values)
      if (Same(value.name, name)) return &value;
    return nullptr;
  }
  const StoredValue* Find(const std::string& name) const {
    for (const auto& value : values)
      if (Same(value.name, name)) return &value;
    return nullptr;
  }
};

class RegistryModel {
 public:
  RegistryModel() {
    for (Section section : {4, 5, 8, 9}) Key(section).exists = true;  // as a fresh system has them
  }
  ModelKey& Key(Section section) { return keys_[section - 4]; }
  const ModelKey& Key(Section section) const { return keys_[section - 4]; }

  void Put(Section section, const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    ModelKey& key = Key(section);
    key.exists = true;
    if (StoredValue* value = key.Find(name)) {
      value->type = type;
      value->data = data;
    } else {
      key.values.push_back(StoredValue{name, type, data});
    }
  }
  void Remove(Section section, const std::string& name) {
    auto& values = Key(section).values;
    values.erase(std::remove_if(values.begin(), values.end(), [&](const StoredValue& v) { return Same(v.name, name); }),
                 values.end());
  }
  // A key the user may not write cannot be deleted either.
  void DeleteKey(Section section) {
    if (Key(section).writable) Key(section) = ModelKey{};
  }
  void AddKey(Section section) { Key(section).exists = true; }
  // Setting the rights of a missing key creates it.
  void SetWritable(Section section, bool writable) {
    Key(section).exists = true;
    Key(section).writable = writable;
  }

 private:
  std::array<ModelKey, 6> keys_;
};

struct Mutation {
  enum class Kind { Put, Remove, DeleteKey, AddKey, Lock, Unlock };
  Kind kind = Kind::Put;
  Section section = 8;
  std::string name;
  std::uint32_t type = platform::kRegSz;
  std::vector<std::uint8_t> data;

  std::string Describe() const {
    const std::string where = LocationOf(section).label;
    switch (kind) {
      case Kind::Put:
        return "put " + where + " " + Show(name) + " type " + std::to_string(type) + " data " + Show(data);
      case Kind::Remove: return "remove " + where + " " + Show(name);
      case Kind::DeleteKey: return "delete key " + where;
      case Kind::AddKey: return "create key " + where;
      case Kind::Lock: return "deny writing to " + where;
      case Kind::Unlock: return "allow writing to " + where;
    }
    return {};
  }
  void ApplyTo(MemoryRegistry& registry) const {
    const Location at = LocationOf(section);
    switch (kind) {
      case Kind::Put: registry.Put(at.root, at.path, name, type, data); break;
      case Kind::Remove: registry.Remove(at.root, at.path, name); break;
      case Kind::DeleteKey: registry.DeleteTree(at.root, at.path); break;
      case Kind::AddKey: registry.AddKey(at.root, at.path); break;
      case Kind::Lock: registry.SetRights(at.root, at.path, {true, false}); break;
      case Kind::Unlock: registry.SetRights(at.root, at.path, {true, true}); break;
    }
  }
  void ApplyTo(RegistryModel& model) const {
    switch (kind) {
      case Kind::Put: model.Put(section, name, type, data); break;
      case Kind::Remove: model.Remove(section, name); break;
      case Kind::DeleteKey: model.DeleteKey(section); break;
      case Kind::AddKey: model.AddKey(section); break;
      case Kind::Lock: model.SetWritable(section, false); break;
      case Kind::Unlock: model.SetWritable(section, true); break;
    }
  }
};

// ---- What the guard should have accepted, asked and reported -------------------------------

// A value as the guard sees it: the unnamed default value is shown under a name made from its
// command, the text after the last "\\" or ":" without its extension.
struct Entry {
  std::string value;
  std::string name;
  std::string command;
};
std::string ShownName(const std::string& value, const std::string& command) {
  if (!value.empty()) return value;
  const auto cut = command.find_last_of("\\:");
  const std::string title = cut == std::string::npos ? command : command.substr(cut + 1);
  const auto dot = title.find_last_of('.');
  return dot == std::string::npos ? title : title.substr(0, dot);
}

// A section as the guard reads it: string values with a non-empty text are entries; a value of
// another type with data is reported; everything else is not there.
struct Reading {
  std::vector<Entry> entries;
  std::vector<std::string> problems;
};
Reading Read(const RegistryModel& model, Section section) {
  Reading reading;
  for (const StoredValue& value : model.Key(section).values) {
    if (value.data.empty()) continue;
    if (!IsString(value.type)) {
      reading.problems.push_back("Invalid data type for '" + text::VisibleText(value.name) + "'");
      continue;
    }
    const std::string text = TextOf(value.data);
    if (!text.empty()) reading.entries.push_back(Entry{value.name, ShownName(value.name, text), text});
  }
  return reading;
}

const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& value) {
  for (const Entry& entry : entries)
    if (Same(entry.value, value)) return &entry;
  return nullptr;
}

struct Action {
  enum class Kind { Mutate, Tick, ToggleNotification, ToggleLogs, TakeSnapshot };
  Kind kind = Kind::Tick;
  std::vector<Mutation> mutations;

  std::string Describe() const {
    switch (kind) {
      case Kind::Mutate: {
        std::string text;
        for (const auto& m : mutations) text += (text.empty() ? "" : "; ") + m.Describe();
        return text;
      }
      case Kind::Tick: return "tick";
      case Kind::ToggleNotification: return "toggle Notification";
      case Kind::ToggleLogs: return "toggle Logs";
      case Kind::TakeSnapshot: return "take snapshot (monitoring switched on)";
    }
    return {};
  }
};

// The user's side of one tick: the answers in order, and what happens while a question is open.
struct TickPlan {
  std::vector<bool> answers;
  bool defaultAnswer = true;
  std::map<std::size_t, std::vector<Action>> whileAsking;

  bool AnswerTo(std::size_t question) const {
    return question < answers.size() ? answers[question] : defaultAnswer;
  }
};

struct Outcome {
  std::vector<Question> questions;
  std::vector<std::string> log;
  std::vector<std::string> errors;
  int failedWriteBacks = 0;
};

// The guard's promises applied to the model: differences against the accepted state are asked
// (or, with Notification off, accepted), refused ones are undone in the registry, and a section
// that differed is accepted as the answers left it: the reading, less what was undone, plus what
// was put back. What changed in the registry meanwhile is not accepted; it is asked about later.
class GuardModel {
 public:
  GuardModel(RegistryModel& registry, TSwitches& switches) : registry_(registry), switches_(switches) {}

  void TakeSnapshot(Outcome& out) {
    pending_ = false;
    held_.clear();
    back_.clear();
    for (Section section : kRegistrySections) Renew(section, out);
  }

  // One sweep at the time now; a tick is a sweep, and more while something waits to settle.
  void Tick(const TickPlan& plan, const std::function<void(const Action&)>& perform, Outcome& out,
            int& silentDifferences, std::chrono::steady_clock::time_point now) {
    now_ = now;
    checking_ = true;
    for (Section section : kSweep) CheckSection(section, plan, perform, out, silentDifferences);
    checking_ = false;
    if (pending_) TakeSnapshot(out);
  }

  // Monitoring switched on: the renewal waits while a tick is under way.
  void AskForSnapshot(Outcome& out) {
    if (checking_) pending_ = true;
    else TakeSnapshot(out);
  }

  const std::vector<Entry>& Accepted(Section section) const { return accepted_[section]; }

 private:
  struct Restore {
    bool write;
    Entry entry;
  };

  void CheckSection(Section section, const TickPlan& plan, const std::function<void(const Action&)>& perform,
                    Outcome& out, int& silentDifferences) {
    const Reading fresh = Read(registry_, section);
    Report(section, fresh.problems, out);
    const std::vector<Entry>& accepted = accepted_[section];
    std::vector<Restore> restore;
    bool differs = false;
    // What the section is accepted as, entry by entry: the reading's entry, or what replaces it
    // once its write-back worked (nothing for a refused addition), then the refused removals.
    struct Kept {
      std::optional<Entry> ifWritten;
      std::optional<Entry> ifFailed;
      int restoreIndex = -1;
    };
    std::vector<Kept> kept;
    // The differences in the order they are put: additions and changes in the order of the
    // reading, then removals in the order of the accepted state.
    struct Difference {
      const Entry* now;
      const Entry* before;
      ChangeKind kind;
    };
    std::vector<Difference> differences;
    for (const Entry& now : fresh.entries) {
      const Entry* before = FindEntry(accepted, now.value);
      if (!before || !Same(before->command, now.command))
        differences.push_back({&now, before, before ? ChangeKind::Changed : ChangeKind::Added});
    }
    for (const Entry& before : accepted)
      if (!FindEntry(fresh.entries, before.value)) differences.push_back({nullptr, &before, ChangeKind::Removed});
    differs = !differences.empty();
    if (HoldsBack(section, differences)) return;
    const std::vector<bool> allowed = Decide(section, differences, plan, perform, out, silentDifferences);
    std::map<const Entry*, bool> allowedNow;
    for (std::size_t i = 0; i < differences.size(); ++i)
      if (differences[i].now) allowedNow[differences[i].now] = allowed[i];
    for (const Entry& now : fresh.entries) {
      const auto decided = allowedNow.find(&now);
      const Entry* before = FindEntry(accepted, now.value);
      if (decided == allowedNow.end() || decided->second) {
        kept.push_back({now, now, -1});
      } else if (before) {
        restore.push_back({true, *before});
        kept.push_back({*before, now, static_cast<int>(restore.size()) - 1});
      } else {
        restore.push_back({false, now});
        kept.push_back({std::nullopt, now, static_cast<int>(restore.size()) - 1});
      }
    }
    for (std::size_t i = 0; i < differences.size(); ++i) {
      if (differences[i].now || allowed[i]) continue;
      restore.push_back({true, *differences[i].before});
      kept.push_back({*differences[i].before, std::nullopt, static_cast<int>(restore.size()) - 1});
    }
    // A restore re-creates a deleted key; a removal from a missing key has nothing to do; a
    // write-back the key refuses is reported, and the others still go ahead.
    std::vector<bool> written(restore.size(), true);
    for (std::size_t i = 0; i < restore.size(); ++i) {
      const Restore& r = restore[i];
      const ModelKey& key = registry_.Key(section);
      if (key.exists && !key.writable && !r.write && !key.Find(r.entry.value)) {
        continue;  // gone meanwhile: a key that may not be written has nothing to delete then
      } else if (key.exists && !key.writable) {
        out.errors.push_back((r.write ? "Failed to set data for '" : "Failed to delete value '") +
                             text::VisibleText(r.entry.name) + "'");
        ++out.failedWriteBacks;
        written[i] = false;
      } else if (r.write) {
        registry_.Put(section, r.entry.value, platform::kRegSz, SzBytes(r.entry.command));
      } else {
        registry_.Remove(section, r.entry.value);
      }
    }
    if (!differs) return;
    std::vector<Entry> renewed;
    for (const Kept& k : kept) {
      const bool ok = k.restoreIndex < 0 || written[static_cast<std::size_t>(k.restoreIndex)];
      const std::optional<Entry>& entry = ok ? k.ifWritten : k.ifFailed;
      if (entry) renewed.push_back(*entry);
    }
    accepted_[section] = std::move(renewed);
  }

  // A refused addition or change that comes back as it was is undone again without a question;
  // more than three questions of a section are put as one, answered one by one and logged after.
  template <class Difference>
  std::vector<bool> Decide(Section section, const std::vector<Difference>& differences, const TickPlan& plan,
                           const std::function<void(const Action&)>& perform, Outcome& out, int& silentDifferences) {
    std::vector<bool> allowed(differences.size(), true);
    std::vector<std::size_t> asked, again;
    for (std::size_t i = 0; i < differences.size(); ++i) {
      const Entry* now = differences[i].now;
      // A RunOnce value gone is one Windows ran.
      if (catalogue::PlaceOf(section)->runsOnce && differences[i].kind == ChangeKind::Removed) {
        if (switches_.Logs) out.log.push_back("Ran once: " + differences[i].before->name + " " + differences[i].before->command);
        continue;
      }
      if (now && Refused(section, *now)) {
        allowed[i] = false;
        again.push_back(i);
      } else {
        asked.push_back(i);
      }
    }
    const auto entryOf = [&](std::size_t i) -> const Entry& {
      return differences[i].now ? *differences[i].now : *differences[i].before;
    };
    const auto ask = [&](std::size_t i) {
      const std::size_t index = out.questions.size();
      out.questions.push_back(Question{entryOf(i).name, entryOf(i).command, section, differences[i].kind, entryOf(i).value});
      const auto actions = plan.whileAsking.find(index);
      if (actions != plan.whileAsking.end())
        for (const Action& action : actions->second) perform(action);
      return plan.AnswerTo(index);
    };
    const auto log = [&](std::size_t i) {
      if (switches_.Logs)
        out.log.push_back(std::string(KindWord(differences[i].kind)) + ": " + entryOf(i).name + " " + entryOf(i).command);
    };
    if (asked.size() > TChangeMonitor::kSingleQuestionsAtMost && switches_.Notification) {
      for (const std::size_t i : asked) allowed[i] = ask(i);
      for (const std::size_t i : asked) log(i);
    } else {
      for (const std::size_t i : asked) {
        if (!switches_.Notification) {
          ++silentDifferences;
          continue;
        }
        allowed[i] = ask(i);
        log(i);
      }
    }
    // Told once the questions are answered and the section written back.
    for (const std::size_t i : again)
      if (switches_.Logs) out.log.push_back("Undone again: " + differences[i].now->name + " " + differences[i].now->command);
    for (const std::size_t i : asked)
      if (!allowed[i] && differences[i].now && !Refused(section, *differences[i].now))
        refusals_.push_back({section, differences[i].now->value, differences[i].now->command});
    return allowed;
  }

  bool Refused(Section section, const Entry& now) const { return Refused(section, now.value, now.command); }

  // Removals and changes that would be asked wait until the section has been read with the same
  // differences for the settling time, or for its longest wait since first read so; an addition
  // is asked at once with the rest of its reading.
  template <class Difference>
  bool HoldsBack(Section section, const std::vector<Difference>& differences) {
    bool waits = false;
    std::string text;
    for (const Difference& difference : differences) {
      const Entry& entry = difference.now ? *difference.now : *difference.before;
      text += std::to_string(static_cast<int>(difference.kind)) + "\n" + entry.value + "\n" + entry.command + "\n";
      waits = difference.kind != ChangeKind::Added;
      if (!waits) break;
    }
    const auto held = held_.find(section);
    if (!waits) {
      if (held != held_.end() && differences.empty()) {
        ++cameBack;
        back_[section] = {held->second.since, now_};
      }
      if (held != held_.end()) held_.erase(held);
      return false;
    }
    if (held == held_.end()) {
      // Back as accepted for a moment: the wait keeps its start for as long as the longest wait.
      const auto back = back_.find(section);
      const bool keeps = back != back_.end() && now_ - back->second.second < kSettling.longest;
      const auto since = keeps ? back->second.first : now_;
      if (back != back_.end()) back_.erase(back);
      if (now_ >= since + kSettling.longest) return false;
      held_[section] = Held{since, now_, text};
      return true;
    }
    if (held->second.text != text) held->second = Held{held->second.since, now_, text};
    if (now_ < std::min(held->second.changedAt + kSettling.quiet, held->second.since + kSettling.longest)) return true;
    held_.erase(held);
    return false;
  }

 public:
  bool Refused(Section section, const std::string& value, const std::string& command) const {
    for (const Refusal& refusal : refusals_)
      if (refusal.section == section && Same(refusal.value, value) && Same(refusal.command, command)) return true;
    return false;
  }

 private:

  void Renew(Section section, Outcome& out) {
    Reading reading = Read(registry_, section);
    accepted_[section] = std::move(reading.entries);
    Report(section, reading.problems, out);
  }

  // Each problem is shown when it first appears in a reading of its section, and again only
  // after a reading without it.
  void Report(Section section, const std::vector<std::string>& problems, Outcome& out) {
    const std::set<std::string> current(problems.begin(), problems.end());
    for (const auto& message : current)
      if (!shown_[section].count(message)) out.errors.push_back(message);
    shown_[section] = current;
  }

  RegistryModel& registry_;
  TSwitches& switches_;
  std::array<std::vector<Entry>, catalogue::kSectionCount> accepted_;
  std::array<std::set<std::string>, catalogue::kSectionCount> shown_;
  struct Refusal {
    Section section;
    std::string value;
    std::string command;
  };
  std::vector<Refusal> refusals_;
  bool checking_ = false;
  bool pending_ = false;
  struct Held {
    std::chrono::steady_clock::time_point since, changedAt;
    std::string text;
  };
  std::map<Section, Held> held_;
  std::map<Section, std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>> back_;
  std::chrono::steady_clock::time_point now_{};

 public:
  bool Settling() const { return !held_.empty(); }
  int cameBack = 0;  // held sections read again without their differences
};

// ---- One random sequence -------------------------------------------------------------------

struct Coverage {
  std::map<std::string, int> counts;
  void Add(const std::string& what, int n = 1) { counts[what] += n; }
  int operator[](const std::string& what) const {
    const auto it = counts.find(what);
    return it == counts.end() ? 0 : it->second;
  }
};

class Sequence {
 public:
  Sequence(std::uint64_t seed, Coverage& coverage)
      : seed_(seed), random_(seed), generate_(random_), guard_(model_, modelSwitches_), coverage_(coverage) {}

  // Empty when every check held; else the first broken promise, with the steps that led to it.
  std::string Run(int maxSteps) {
    switches_.Notification = random_.Chance(80);
    switches_.Logs = random_.Chance(50);
    modelSwitches_ = switches_;
    for (Section section : kRegistrySections)
      for (std::size_t n = random_.Below(4); n > 0; --n) Do(AddValue(section));
    Do(Action{Action::Kind::TakeSnapshot, {}});
    const int steps = 1 + static_cast<int>(random_.Below(static_cast<std::size_t>(maxSteps)));
    // Half the sequences are checked the way the program runs now: a change's event starts a
    // check at once, before anything else happens; the others let changes pile up between ticks.
    const bool eventDriven = random_.Chance(50);
    coverage_.Add(eventDriven ? "checked on each change" : "checked on ticks");
    for (int step = 0; step < steps && failure_.empty(); ++step) {
      const Action action = NextAction();
      Do(action);
      if (eventDriven && action.kind == Action::Kind::Mutate && failure_.empty()) Do(Action{Action::Kind::Tick, {}});
      if (!failure_.empty()) failure_ = "step " + std::to_string(step + 1) + ": " + failure_;
    }
    if (failure_.empty()) return {};
    std::ostringstream report;
    report << "seed " << seed_ << ", " << failure_ << "\nsteps:";
    for (std::size_t i = 0; i < history_.size(); ++i) report << "\n  " << history_[i];
    return report.str();
  }

 private:
  // ---- drawing the next step

  Action NextAction() {
    switch (random_.Weighted({40, 25, 4, 3, 3})) {
      case 0: return RandomMutation();
      case 1: return Action{Action::Kind::Tick, {}};
      case 2: return Action{Action::Kind::ToggleNotification, {}};
      case 3: return Action{Action::Kind::ToggleLogs, {}};
      default: return Action{Action::Kind::TakeSnapshot, {}};
    }
  }

  Section RandomSection() { return static_cast<Section>(4 + random_.Below(6)); }

  Action Mutate(std::vector<Mutation> mutations) {
    for (const Mutation& m : mutations)
      if (m.kind == Mutation::Kind::Put && written_.size() < 64) written_.push_back(m);
    return Action{Action::Kind::Mutate, std::move(mutations)};
  }

  Mutation Put(Section section, std::string name, std::uint32_t type, std::vector<std::uint8_t> data) {
    return Mutation{Mutation::Kind::Put, section, std::move(name), type, std::move(data)};
  }
  Mutation Remove(Section section, std::string name) {
    return Mutation{Mutation::Kind::Remove, section, std::move(name), platform::kRegSz, {}};
  }

  std::uint32_t StringType() { return random_.Chance(80) ? platform::kRegSz : platform::kRegExpandSz; }

  Action AddValue(Section section) {
    coverage_.Add("add");
    return Mutate({Put(section, generate_.Name(), StringType(), generate_.StringData(generate_.Command()))});
  }

  Action RandomMutation() {
    const Section section = RandomSection();
    const ModelKey& key = model_.Key(section);
    const StoredValue* existing = key.values.empty() ? nullptr : &key.values[random_.Below(key.values.size())];
    const std::string someName = existing && random_.Chance(60) ? existing->name : generate_.Name();
    const std::size_t kind = random_.Weighted({14, 8, 8, 6, 4, 6, 4, 1, 3, 1, 3, 2, 2, 2, 2, 3});
    if (!existing && kind <= 5) return AddValue(section);
    switch (kind) {
      case 14: {
        // An installer's import: too many at once to be asked one by one.
        coverage_.Add("bulk import");
        std::vector<Mutation> values;
        for (std::size_t n = 4 + random_.Below(4); n > 0; --n)
          values.push_back(Put(section, generate_.Name(), StringType(), generate_.StringData(generate_.Command())));
        return Mutate(std::move(values));
      }
      case 15: {
        // A program writing itself back: a value put before, put again as it was.
        if (written_.empty()) return AddValue(section);
        coverage_.Add("written again");
        return Mutate({written_[random_.Below(written_.size())]});
      }
      case 0: return AddValue(section);
      case 1: {
        coverage_.Add("change");
        const std::string text = TextOf(existing->data);
        std::string command = generate_.Command();
        if (!text.empty() && random_.Chance(30)) command = generate_.CaseVariant(text);
        else if (!text.empty() && random_.Chance(20)) command = text + " ";
        const std::string name = random_.Chance(30) ? generate_.CaseVariant(existing->name) : existing->name;
        return Mutate({Put(section, name, IsString(existing->type) ? existing->type : platform::kRegSz,
                           generate_.StringData(command))});
      }
      case 2:
        coverage_.Add("remove");
        return Mutate({Remove(section, generate_.CaseVariant(existing->name))});
      case 3:
        coverage_.Add("rename");
        return Mutate({Remove(section, existing->name), Put(section, generate_.Name(), existing->type, existing->data)});
      case 4: {
        coverage_.Add("rename in letter case only");
        std::vector<std::uint8_t> data = existing->data;
        if (random_.Chance(50)) data = generate_.StringData(generate_.Command());
        return Mutate({Remove(section, existing->name),
                       Put(section, generate_.CaseVariant(existing->name), existing->type, std::move(data))});
      }
      case 5: {
        coverage_.Add("retype");
        if (random_.Chance(25))
          return Mutate({Put(section, existing->name,
                             existing->type == platform::kRegSz ? platform::kRegExpandSz : platform::kRegSz,
                             existing->data)});
        auto typed = generate_.NonString();
        return Mutate({Put(section, existing->name, typed.type, std::move(typed.data))});
      }
      case 6: {
        coverage_.Add("empty data");
        if (random_.Chance(20)) return Mutate({Put(section, someName, generate_.NonString().type, {})});
        return Mutate({Put(section, someName, StringType(), generate_.EmptyData())});
      }
      case 7:
        coverage_.Add("huge data");
        return Mutate({Put(section, someName, StringType(), generate_.StringData(generate_.HugeCommand()))});
      case 8: {
        coverage_.Add("no terminating NUL");
        const std::string command = generate_.Command();
        return Mutate({Put(section, someName, StringType(), std::vector<std::uint8_t>(command.begin(), command.end()))});
      }
      case 9:
        coverage_.Add("name at the length limit");
        return Mutate({Put(section, generate_.LongName(), StringType(), generate_.StringData(generate_.Command()))});
      case 10:
        coverage_.Add("key deleted");
        return Mutate({Mutation{Mutation::Kind::DeleteKey, section, {}, 0, {}}});
      case 11:
        coverage_.Add("key created");
        return Mutate({Mutation{Mutation::Kind::AddKey, section, {}, 0, {}}});
      case 12:
        coverage_.Add("key locked");
        return Mutate({Mutation{Mutation::Kind::Lock, section, {}, 0, {}}});
      default:
        return Mutate({Mutation{Mutation::Kind::Unlock, section, {}, 0, {}}});
    }
  }

  // A program writing an entry back as it was accepted, as an installer does after deleting it.
  Action PutBack() {
    for (const Section section : kRegistrySections)
      for (const Entry& entry : guard_.Accepted(section)) {
        const StoredValue* value = model_.Key(section).Find(entry.value);
        if (!value || !IsString(value->type) || !Same(TextOf(value->data), entry.command))
          return Mutate({Put(section, entry.value, platform::kRegSz, SzBytes(entry.command))});
      }
    return RandomMutation();
  }

  TickPlan RandomPlan() {
    TickPlan plan;
    plan.defaultAnswer = random_.Chance(50);
    for (std::size_t n = random_.Below(12); n > 0; --n) plan.answers.push_back(random_.Chance(50));
    if (random_.Chance(30)) {
      for (std::size_t n = 1 + random_.Below(2); n > 0; --n) {
        Action action = random_.Chance(70) ? RandomMutation() : NextAction();
        if (action.kind == Action::Kind::Tick) action.kind = Action::Kind::TakeSnapshot;
        plan.whileAsking[random_.Below(4)].push_back(std::move(action));
      }
    }
    return plan;
  }

  // ---- doing a step in both worlds

  void Do(const Action& action) {
    history_.push_back(action.Describe());
    if (action.kind == Action::Kind::Tick) return Tick();
    Outcome expected;
    Perform(action, expected);
    PerformInModel(action, expected);
    CompareSnapshotErrors(expected);
    // Changes are mirrored in both worlds as they are made; the next tick compares them. Only
    // a renewal of the snapshot, which must not write anything, is checked at once.
    if (action.kind == Action::Kind::TakeSnapshot) CompareRegistry(RealKeys());
  }

  void Perform(const Action& action, Outcome&) {
    switch (action.kind) {
      case Action::Kind::Mutate:
        for (const Mutation& m : action.mutations) {
          m.ApplyTo(windows_.registry);
          Touch(m);
        }
        break;
      case Action::Kind::ToggleNotification: switches_.Notification = !switches_.Notification; break;
      case Action::Kind::ToggleLogs: switches_.Logs = !switches_.Logs; break;
      case Action::Kind::TakeSnapshot: monitor_.TakeSnapshot(); break;
      case Action::Kind::Tick: break;
    }
  }

  void PerformInModel(const Action& action, Outcome& out) {
    switch (action.kind) {
      case Action::Kind::Mutate:
        for (const Mutation& m : action.mutations) m.ApplyTo(model_);
        break;
      case Action::Kind::ToggleNotification: modelSwitches_.Notification = !modelSwitches_.Notification; break;
      case Action::Kind::ToggleLogs: modelSwitches_.Logs = !modelSwitches_.Logs; break;
      case Action::Kind::TakeSnapshot: guard_.AskForSnapshot(out); break;
      case Action::Kind::Tick: break;
    }
  }

  // A value changed since it was last answered may be asked about again.
  void Touch(const Mutation& m) {
    if (m.kind == Mutation::Kind::Put || m.kind == Mutation::Kind::Remove) {
      answered_.erase({m.section, Fold(m.name)});
      return;
    }
    for (auto it = answered_.begin(); it != answered_.end();)
      it = it->first == m.section ? answered_.erase(it) : std::next(it);
  }

  struct KeyState {
    bool exists = false;
    std::vector<StoredValue> values;
  };
  using Keys = std::array<KeyState, 6>;
  Keys RealKeys() const {
    Keys keys;
    for (Section section : kRegistrySections) {
      const Location at = LocationOf(section);
      keys[section - 4] = KeyState{windows_.registry.HasKey(at.root, at.path), windows_.registry.Values(at.root, at.path)};
    }
    return keys;
  }
  // The registry at the start of a tick, as the last comparison and the mirrored changes since
  // left it.
  Keys ModelKeys() const {
    Keys keys;
    for (Section section : kRegistrySections)
      keys[section - 4] = KeyState{model_.Key(section).exists, model_.Key(section).values};
    return keys;
  }
  static const StoredValue* FindIn(const KeyState& key, const std::string& name) {
    for (const auto& value : key.values)
      if (Same(value.name, name)) return &value;
    return nullptr;
  }

  void Tick() {
    const TickPlan plan = RandomPlan();
    for (const auto& [index, actions] : plan.whileAsking)
      for (const Action& action : actions) history_.push_back("  while question " + std::to_string(index + 1) +
                                                              " is open: " + action.Describe());
    const Keys before = ModelKeys();
    std::array<std::vector<Entry>, 6> acceptedBefore;
    for (Section section : kRegistrySections) acceptedBefore[section - 4] = guard_.Accepted(section);

    host_.questions.clear();
    host_.log.clear();
    host_.errors.clear();
    host_.answers.assign(plan.answers.begin(), plan.answers.end());
    host_.defaultAnswer = plan.defaultAnswer;
    std::set<Section> touchedWhileAsking;
    host_.whileAsking = [&](const Question& q) {
      if (answered_.count({q.section, Fold(q.valueName)}))
        Fail("asked again about a value unchanged since it was answered: " + Show(q));
      const auto actions = plan.whileAsking.find(host_.questions.size() - 1);
      if (actions == plan.whileAsking.end()) return;
      Outcome ignored;
      for (const Action& action : actions->second) {
        Perform(action, ignored);
        for (const Mutation& m : action.mutations) touchedWhileAsking.insert(m.section);
      }
    };
    Outcome expected;
    int silent = 0;
    const auto sweep = [&] {
      try {
        monitor_.CheckAllSections();
      } catch (const std::exception& error) {
        Fail(std::string("an exception escaped CheckAllSections: ") + error.what());
      } catch (...) {
        Fail("an exception escaped CheckAllSections");
      }
      guard_.Tick(plan, [&](const Action& action) { PerformInModel(action, expected); }, expected, silent, now_);
      if (monitor_.Settling() != guard_.Settling())
        Fail(guard_.Settling() ? "a removal or change was decided before its place was quiet"
                               : "a removal or change still waits once its place was quiet");
    };
    sweep();
    // While something waits to settle, the program ticks again when it is due; the place may be
    // changed meanwhile, or written back as it was.
    for (int more = 0; guard_.Settling() && failure_.empty(); ++more) {
      coverage_.Add("waited for the place to be quiet");
      if (more * kSettling.quiet > kSettling.longest) Fail("a removal or change waited past the longest wait");
      if (random_.Chance(60)) {
        const Action action = random_.Chance(50) ? RandomMutation() : PutBack();
        history_.push_back("  while settling: " + action.Describe());
        Outcome ignored;
        Perform(action, ignored);
        PerformInModel(action, expected);
        for (const Mutation& m : action.mutations) touchedWhileAsking.insert(m.section);
      }
      now_ += kSettling.quiet;
      sweep();
    }
    host_.whileAsking = nullptr;
    coverage_.Add("came back while waiting", std::exchange(guard_.cameBack, 0));

    coverage_.Add("tick");
    coverage_.Add("difference accepted silently", silent);
    if (!plan.whileAsking.empty() && !host_.questions.empty()) coverage_.Add("something done while a question is open");
    coverage_.Add("grouped question", static_cast<int>(host_.groups.size()));
    host_.groups.clear();
    for (const std::string& line : host_.log)
      if (line.rfind("Undone again: ", 0) == 0) coverage_.Add("refusal undone again");
    for (std::size_t i = 0; i < host_.questions.size(); ++i) {
      const Question& q = host_.questions[i];
      coverage_.Add(std::string(KindWord(q.kind)) + (plan.AnswerTo(i) ? " allowed" : " refused"));
      if (q.valueName.empty()) coverage_.Add("default value asked");
      if (!plan.AnswerTo(i) && q.kind == ChangeKind::Removed && !before[q.section - 4].exists)
        coverage_.Add("key re-created by a refused removal");
    }
    coverage_.Add("problem reported", static_cast<int>(host_.errors.size()));
    coverage_.Add("write-back refused by a locked key", expected.failedWriteBacks);

    const Keys after = RealKeys();
    CompareQuestions(expected);
    CheckPromises(plan, before, after, acceptedBefore, touchedWhileAsking);
    CompareRegistry(after);
    CompareAccepted();
    if (!failure_.empty()) return;
    for (const Question& q : host_.questions)
      if (!touchedWhileAsking.count(q.section)) answered_.insert({q.section, Fold(q.valueName)});
  }

  // ---- checks

  void Fail(const std::string& what) {
    if (failure_.empty()) failure_ = what;
  }

  template <class T, class Describe>
  std::string List(const std::vector<T>& items, Describe describe) {
    std::string text;
    for (const T& item : items) text += "\n    " + describe(item);
    return text.empty() ? " (none)" : text;
  }

  void CompareQuestions(const Outcome& expected) {
    auto same = [](const Question& a, const Question& b) {
      return a.kind == b.kind && a.name == b.name && a.command == b.command && a.section == b.section &&
             a.valueName == b.valueName;
    };
    if (!std::equal(host_.questions.begin(), host_.questions.end(), expected.questions.begin(),
                    expected.questions.end(), same)) {
      auto show = [](const Question& q) { return Show(q); };
      Fail("questions asked:" + List(host_.questions, show) + "\n  expected:" + List(expected.questions, show));
    }
    auto showText = [](const std::string& s) { return Show(s); };
    if (host_.log != expected.log)
      Fail("decision lines:" + List(host_.log, showText) + "\n  expected:" + List(expected.log, showText));
    CompareSnapshotErrors(expected);
  }

  void CompareSnapshotErrors(const Outcome& expected) {
    std::vector<std::string> got = host_.errors, want = expected.errors;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    auto showText = [](const std::string& s) { return Show(s); };
    if (got != want) Fail("errors reported:" + List(got, showText) + "\n  expected:" + List(want, showText));
    host_.errors.clear();
  }

  static bool SameValue(const StoredValue& a, const StoredValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
  }

  // Every key holds, byte for byte and in order, what the model says it should.
  void CompareRegistry(const Keys& keys) {
    for (Section section : kRegistrySections) {
      const KeyState& real = keys[section - 4];
      const ModelKey& want = model_.Key(section);
      const bool same = real.exists == want.exists &&
                        std::equal(real.values.begin(), real.values.end(), want.values.begin(), want.values.end(),
                                   SameValue);
      if (same) continue;
      auto show = [](const StoredValue& v) { return Show(v.name) + " type " + std::to_string(v.type) + " " + Show(v.data); };
      Fail(std::string(LocationOf(section).label) + (real.exists ? "" : " (no key)") + " holds:" +
           List(real.values, show) + "\n  expected" + (want.exists ? "" : " (no key)") + ":" + List(want.values, show));
      return;
    }
  }

  void CompareAccepted() {
    for (Section section : kRegistrySections) {
      std::vector<Entry> real;
      const catalogue::TStartups& snapshot = monitor_.Snapshot();
      for (int i = 0; i < snapshot.Count(); ++i)
        if (snapshot.Items(i).GetSection() == section)
          real.push_back(Entry{snapshot.Items(i).ValueName(), snapshot.Items(i).Name(), snapshot.Items(i).Command()});
      const auto& want = guard_.Accepted(section);
      const bool same = std::equal(real.begin(), real.end(), want.begin(), want.end(), [](const Entry& a, const Entry& b) {
        return a.value == b.value && a.name == b.name && a.command == b.command;
      });
      if (same) continue;
      auto show = [](const Entry& e) { return Show(e.value) + " (" + Show(e.name) + ") = " + Show(e.command); };
      Fail(std::string("accepted state of ") + LocationOf(section).label + ":" + List(real, show) +
           "\n  expected:" + List(want, show));
      return;
    }
  }

  // The promises of each answer, checked on the registry itself for every section that nothing
  // else changed during the tick: a refused addition is gone, a refused removal or change is back
  // as REG_SZ with its earlier command, an allowed one is left as it was, and no other value of
  // the key is touched.
  void CheckPromises(const TickPlan& plan, const Keys& before, const Keys& after,
                     const std::array<std::vector<Entry>, 6>& acceptedBefore, const std::set<Section>& touched) {
    std::array<std::set<std::string>, 6> asked;
    for (std::size_t i = 0; i < host_.questions.size(); ++i) {
      const Question& q = host_.questions[i];
      if (touched.count(q.section)) continue;
      asked[q.section - 4].insert(Fold(q.valueName));
      const StoredValue* now = FindIn(after[q.section - 4], q.valueName);
      const StoredValue* was = FindIn(before[q.section - 4], q.valueName);
      // A key the user may not write keeps the change; the failure is reported instead.
      const bool allowed = plan.AnswerTo(i) || !model_.Key(q.section).writable;
      auto restoredAs = [&](const std::string& command) {
        return now && now->type == platform::kRegSz && now->data == SzBytes(command);
      };
      if (allowed) {
        if ((now != nullptr) != (was != nullptr) || (now && (now->type != was->type || now->data != was->data)))
          Fail("an allowed change was not left as it was: " + Show(q));
      } else if (q.kind == ChangeKind::Added) {
        if (now) Fail("a refused addition is still there: " + Show(q));
      } else if (q.kind == ChangeKind::Removed) {
        if (!restoredAs(q.command)) Fail("a refused removal was not written back as REG_SZ: " + Show(q));
      } else {
        const Entry* earlier = FindEntry(acceptedBefore[q.section - 4], q.valueName);
        if (!earlier || !restoredAs(earlier->command)) Fail("a refused change did not get its earlier command: " + Show(q));
      }
    }
    for (Section section : kRegistrySections) {
      if (touched.count(section)) continue;
      const KeyState& was = before[section - 4];
      const KeyState& now = after[section - 4];
      const auto& names = asked[section - 4];
      if (was.exists && !now.exists) Fail(std::string("the guard deleted the key ") + LocationOf(section).label);
      for (const auto& v : was.values) {
        if (names.count(Fold(v.name))) continue;
        // Undone again without a question, as a standing refusal; the model's registry says how.
        if (IsString(v.type) && guard_.Refused(section, v.name, TextOf(v.data))) continue;
        const StoredValue* later = FindIn(now, v.name);
        if (!later || !SameValue(*later, v)) Fail("a value nobody was asked about changed: " + Show(v.name));
      }
      for (const auto& v : now.values)
        if (!names.count(Fold(v.name)) &&
            !FindIn(was, v.name))
          Fail("a value nobody was asked about appeared: " + Show(v.name));
    }
  }

  std::uint64_t seed_;
  Random random_;
  RegistryGenerator generate_;
  platform::memory::MemoryWindows windows_;
  TSwitches switches_;
  ScriptedHost host_;
  std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
  TChangeMonitor monitor_{windows_.platform(), switches_, host_, [this] { return now_; }, kSettling};
  RegistryModel model_;
  TSwitches modelSwitches_;
  GuardModel guard_;
  Coverage& coverage_;
  std::set<std::pair<Section, std::string>> answered_;
  std::vector<Mutation> written_;  // values put so far, to be put again
  std::vector<std::string> history_;
  std::string failure_;
};

std::uint64_t Setting(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// The seeds are cut into shards that ctest runs side by side.
constexpr int kShards = 4;

class GuardPropertyTest : public ::testing::TestWithParam<int> {};

TEST_P(GuardPropertyTest, RandomRegistryChangesNeverGetPastTheGuardUnasked) {
  const std::uint64_t first = Setting("KORVALIS_GUARD_FIRST_SEED", 1);
  const std::uint64_t total = Setting("KORVALIS_GUARD_SEQUENCES", 2000);
  const int steps = static_cast<int>(Setting("KORVALIS_GUARD_STEPS", 30));
  const auto shard = static_cast<std::uint64_t>(GetParam());
  const std::uint64_t begin = first + total * shard / kShards;
  const std::uint64_t end = first + total * (shard + 1) / kShards;
  Coverage coverage;
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint64_t seed = begin; seed < end && failures < 3; ++seed) {
    const std::string failure = std::make_unique<Sequence>(seed, coverage)->Run(steps);
    if (failure.empty()) continue;
    ADD_FAILURE() << failure;
    ++failures;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::ostringstream summary;
  summary << "seeds " << begin << " to " << end - 1 << " (" << end - begin << " sequences) in " << seconds << " s:";
  for (const auto& [what, n] : coverage.counts) summary << " " << what << " " << n << ";";
  RecordProperty("summary", summary.str());
  std::cout << summary.str() << "\n";

  // A run that never refused, never re-created a key, never met a problem value is no evidence.
  if (end - begin < 400) return;
  for (const char* what : {"Add allowed", "Add refused", "Remove allowed", "Remove refused", "Change allowed",
                           "Change refused", "key re-created by a refused removal", "difference accepted silently",
                           "problem reported", "write-back refused by a locked key",
                           "something done while a question is open", "huge data", "name at the length limit",
                           "rename in letter case only", "key deleted", "default value asked", "grouped question",
                           "refusal undone again", "checked on each change", "waited for the place to be quiet",
                           "came back while waiting"})
    EXPECT_GT(coverage[what], 0) << what;
}

INSTANTIATE_TEST_SUITE_P(Shard, GuardPropertyTest, ::testing::Range(0, kShards));

}  // namespace
}  // namespace korvalis::app
