#include "app/AdministratorUndo.h"

#include <algorithm>

#include "app/AsAdministrator.h"
#include "app/ElevatedCopy.h"
#include "app/InstallCheck.h"
#include "app/Refusals.h"
#include "catalogue/SectionReadings.h"
#include "platform/Error.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::app {

namespace {

std::string Listed(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

// The offer names the code of each request, which the elevated copy's window shows of what it
// read: a request swapped meanwhile shows another.
std::vector<std::string> WithCodes(std::vector<std::string> messages, const std::vector<TUndoOperation>& undos) {
  for (const TElevatedRequest& request : SplitIntoRequests(undos))
    messages.push_back("Korvalis as administrator will show the code " + RequestCode(EncodeRequest(request)));
  return messages;
}

// Undos left as they stand, without administrator rights: each a record of its own.
void RecordNotUndone(MonitorHost& host, const std::vector<TUndoOperation>& undos,
                     const std::vector<std::string>& messages) {
  for (std::size_t i = 0; i < undos.size(); ++i)
    host.Record(TDecision::Failed, RecordedEntryOf(undos[i].writeBack), i < messages.size() ? messages[i] : "");
}

std::string KeyOf(const TUndoOperation& undo) { return EntryKey(undo.writeBack.section, undo.writeBack.valueName.Text()); }

// Read from the batch's readings, so many undos of one section read it once.
bool PlaceAgrees(const TUndoOperation& undo, catalogue::TSectionReadings& readings) {
  const TRequestedEntry& target = undo.writeBack;
  const catalogue::TStartups* read = nullptr;
  try {
    read = &readings.Of(target.section);
  } catch (const std::exception&) {
    return false;
  }
  const catalogue::TStartups& place = *read;
  for (int i = 0; i < place.Count(); ++i) {
    const catalogue::TStartup& entry = place.Items(i);
    if (!text::SameTextAscii(entry.ValueName(), target.valueName.Text())) continue;
    // Written back: the earlier command, and its bytes where the place keeps them.
    return undo.enabled && entry.Command() == target.command && (target.data.empty() || entry.LinkData() == target.data);
  }
  return !undo.enabled;
}

bool RefusedAs(const TUndoOperation& undo, const TRefusal& refusal) {
  return undo.hasNow && refusal.section == undo.now.section && text::SameTextAscii(refusal.valueName, undo.now.valueName.Text()) &&
         text::SameTextAscii(refusal.command, undo.now.command);
}

bool AnyRefusedAs(const TUndoOperation& undo, const std::vector<TRefusal>& refusals) {
  return std::any_of(refusals.begin(), refusals.end(), [&](const TRefusal& refusal) { return RefusedAs(undo, refusal); });
}

// The file holds the requests one after the other, each ending with its own last line.
std::vector<std::string> StoredRequests(const std::string& text) {
  std::vector<std::string> requests;
  const std::string end = "\nend\n";
  std::size_t from = 0;
  for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, from)) {
    requests.push_back(text.substr(from, at + end.size() - from));
    from = at + end.size();
  }
  return requests;
}

constexpr std::size_t kStoredAtMost = 64 * 1024 * 1024;
constexpr std::size_t kOffersRemembered = 4096;

}  // namespace

std::string WaitingUndosPath(platform::Environment& environment) {
  const std::string folder = RequestFolder(environment);
  return folder.empty() ? std::string() : text::JoinPath(folder, "undos-waiting.dat");
}

TAdministratorUndo::TAdministratorUndo(const platform::Platform& platform, const TSwitches& switches,
                                       MonitorHost& host, Clock clock)
    : platform_(platform), switches_(switches), host_(host), clock_(std::move(clock)) {}

std::int64_t TAdministratorUndo::Now() const {
  return std::chrono::duration_cast<std::chrono::seconds>(clock_().time_since_epoch()).count();
}

std::vector<TAdministratorUndo::Undone> TAdministratorUndo::Run(const std::vector<TUndoOperation>& undos,
                                                                const std::vector<std::string>& messages, bool offer,
                                                                const std::vector<bool>& repeated) {
  std::vector<Undone> undone(undos.size(), Undone::No);
  std::vector<std::size_t> run;
  if (offer) {
    // Never offered where a program running as the user could have changed what would run.
    const std::vector<std::string> changeable = InstallCheck(platform_.security, platform_.environment.ProgramPath());
    if (!changeable.empty()) {
      RecordNotUndone(host_, undos, messages);
      host_.UndoNotOffered(messages, UndoNotOfferedText(changeable));
      return undone;
    }
    const std::int64_t now = Now();
    if (offered_.size() > kOffersRemembered)
      for (auto it = offered_.begin(); it != offered_.end();)
        it = now - it->second >= kOfferEverySeconds ? offered_.erase(it) : std::next(it);
    std::vector<TUndoOperation> offered;
    std::vector<std::string> offeredMessages;
    for (std::size_t i = 0; i < undos.size(); ++i) {
      // A program that writes a refused entry back again and again brings one prompt in ten
      // minutes; meanwhile its undo waits in the refused entries.
      const auto last = offered_.find(KeyOf(undos[i]));
      if (i < repeated.size() && repeated[i] && last != offered_.end() && now >= last->second && now - last->second < kOfferEverySeconds) {
        Wait(undos[i]);
        undone[i] = Undone::Pending;
        continue;
      }
      offered_[KeyOf(undos[i])] = now;
      run.push_back(i);
      offered.push_back(undos[i]);
      if (i < messages.size()) offeredMessages.push_back(messages[i]);
    }
    if (!run.empty() && !host_.OfferUndoAsAdministrator(WithCodes(offeredMessages, offered))) {
      RecordNotUndone(host_, offered, offeredMessages);
      run.clear();
    }
  } else {
    for (std::size_t i = 0; i < undos.size(); ++i) run.push_back(i);
  }
  std::vector<TUndoOperation> chosen;
  for (const std::size_t i : run) chosen.push_back(undos[i]);
  const std::vector<Undone> ran = chosen.empty() ? std::vector<Undone>() : Elevate(chosen);
  for (std::size_t k = 0; k < run.size(); ++k) undone[run[k]] = ran[k];
  if (std::find(undone.begin(), undone.end(), Undone::Pending) != undone.end()) Store();
  return undone;
}

std::vector<TAdministratorUndo::Undone> TAdministratorUndo::Elevate(const std::vector<TUndoOperation>& undos) {
  std::vector<Undone> undone(undos.size(), Undone::No);
  std::vector<std::string> stillThere;
  bool stopped = false;
  bool declined = false;
  std::size_t first = 0;
  for (const TElevatedRequest& request : SplitIntoRequests(undos)) {
    // One prompt declined is the answer for the rest too; so is the program ending meanwhile.
    const TElevatedRun run =
        stopped ? TElevatedRun{TElevatedRun::State::Unanswered, {}} : RunAsAdministrator(platform_, request, host_.OwnerWindow());
    if (run.state == TElevatedRun::State::Declined || run.state == TElevatedRun::State::Unanswered) {
      declined = declined || run.state == TElevatedRun::State::Declined;
      stopped = true;
      // Kept, so the user can try again from the refused entries.
      for (const TUndoOperation& undo : request.undos) Wait(undo);
      std::fill_n(undone.begin() + static_cast<std::ptrdiff_t>(first), request.undos.size(), Undone::Pending);
    } else if (run.state == TElevatedRun::State::Failed) {
      stillThere.push_back(run.message);
    }
    first += request.undos.size();
  }
  if (host_.Closing()) return undone;
  if (declined) host_.ReportError(Error("The change stays: administrator rights were not given"));
  // Whatever the answer, the places themselves say what was undone.
  catalogue::TSectionReadings readings(platform_);
  for (std::size_t i = 0; i < undos.size(); ++i) {
    if (undone[i] == Undone::Pending) continue;
    const TRequestedEntry& entry = undos[i].writeBack;
    if (PlaceAgrees(undos[i], readings)) {
      undone[i] = Undone::Yes;
      if (switches_.Logs) host_.WriteLog("Undone as administrator: " + entry.name + " " + entry.command);
      host_.Record(TDecision::UndoneAsAdministrator, RecordedEntryOf(entry), std::string());
      continue;
    }
    const char* left = PlaceHoldsNow(undos[i], readings) ? "%s is still there: it could not be undone as administrator"
                                                         : "%s was not undone: its place changed meanwhile";
    host_.ReportUndoFailed(RecordedEntryOf(entry), Error(FormatText(left, ShownName(entry.section, entry.name))));
  }
  if (!stillThere.empty()) host_.ReportError(Error(Listed(stillThere)));
  return undone;
}

void TAdministratorUndo::Wait(const TUndoOperation& undo) {
  // One undo per entry: a program rewriting it again and again does not grow the list.
  const std::string key = KeyOf(undo);
  const auto same = std::find_if(waiting_.begin(), waiting_.end(), [&](const TUndoOperation& each) { return KeyOf(each) == key; });
  if (same != waiting_.end())
    *same = undo;
  else
    waiting_.push_back(undo);
}

std::vector<TUndoOperation> TAdministratorUndo::TakeWaiting() {
  std::vector<TUndoOperation> taken = std::exchange(waiting_, {});
  Store();
  return taken;
}

void TAdministratorUndo::Clear() {
  waiting_.clear();
  Store();
}

void TAdministratorUndo::Store() {
  const std::string path = WaitingUndosPath(platform_.environment);
  if (path.empty()) return;
  if (waiting_.empty()) {
    if (platform_.files.IsFile(path)) platform_.files.RemoveFile(path);
    return;
  }
  std::string text;
  for (const TElevatedRequest& request : SplitIntoRequests(waiting_)) text += EncodeRequest(request);
  if (!platform_.files.CreateFolders(text::FileDir(path)) ||
      !platform_.files.WriteFileAtomically(path, std::vector<std::uint8_t>(text.begin(), text.end())))
    host_.ReportError(Error(FormatText("Cannot keep the undos that wait for administrator rights in %s", path)));
}

void TAdministratorUndo::Restore(const std::vector<TRefusal>& refusals) {
  // The file is the user's to write, as any program of the user's may: each request is checked
  // as the elevated copy checks it, and only an undo of a standing refusal whose place still
  // holds what it names waits again.
  const std::string path = WaitingUndosPath(platform_.environment);
  std::vector<std::uint8_t> bytes;
  if (path.empty() || platform_.files.ReadOwnFile(path, kStoredAtMost, bytes) != platform::OwnFileResult::Read) return;
  catalogue::TSectionReadings readings(platform_);
  for (const std::string& text : StoredRequests(std::string(bytes.begin(), bytes.end()))) {
    try {
      for (const TUndoOperation& undo : ParseRequest(text).undos)
        if (AnyRefusedAs(undo, refusals) && PlaceHoldsNow(undo, readings)) Wait(undo);
    } catch (const std::exception&) {
      // A request that does not hold together is not one this program wrote: nothing of it waits.
    }
  }
  Store();
}

}  // namespace korvalis::app
