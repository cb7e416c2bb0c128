// The overview's actions on entries of the snapshot: what each writes back, carried out as a No.
#include <chrono>
#include <optional>
#include <string>

#include "app/ChangeMonitor.h"
#include "app/DriverRisk.h"
#include "catalogue/Places.h"
#include "catalogue/TaskDefinition.h"
#include "platform/SystemCodes.h"
#include "text/StrMan.h"

namespace korvalis::app {

using catalogue::Section;
using catalogue::TStartup;
using catalogue::TStartups;

namespace {

constexpr platform::WindowHandle kNoWindow = 0;

// Task Manager's bytes for an entry it disabled: an odd first byte, then the FILETIME of the switch.
std::vector<std::uint8_t> DisabledSwitch() {
  constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  std::uint64_t time = kUnixEpochAsFileTime + static_cast<std::uint64_t>(
                                                  std::chrono::duration_cast<std::chrono::microseconds>(since).count()) * 10;
  std::vector<std::uint8_t> bytes{3, 0, 0, 0};
  for (int i = 0; i < 8; ++i, time >>= 8) bytes.push_back(static_cast<std::uint8_t>(time & 0xff));
  return bytes;
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : bytes) text += std::string{kDigits[byte >> 4], kDigits[byte & 15]};
  return text;
}

// The task's definition with the switch of its settings off; none where it has no settings
// element to say so in (one added elsewhere would break the schema's order).
std::optional<std::string> DisabledDefinition(const std::string& xml) {
  const std::string::size_type open = xml.find("<Settings>");
  const std::string::size_type close = open == std::string::npos ? open : xml.find("</Settings>", open);
  if (close == std::string::npos) return std::nullopt;
  std::string disabled = xml;
  // Only the settings' own switch: each trigger has one of its own, outside them.
  const std::string::size_type from = xml.find("<Enabled>", open);
  const std::string::size_type to = from < close ? xml.find("</Enabled>", from) : std::string::npos;
  if (to != std::string::npos && to < close)
    disabled.replace(from, to - from, "<Enabled>false");
  else
    disabled.insert(open + std::string("<Settings>").size(), "<Enabled>false</Enabled>");
  return disabled;
}

}  // namespace

const TStartup* TChangeMonitor::SnapshotEntry(const TEntryName& name) const {
  for (int i = 0; i < snapshot_.Count(); ++i) {
    const TStartup& entry = snapshot_.Items(i);
    if (entry.GetSection() == name.first && text::SameTextAscii(entry.ValueName(), name.second)) return &entry;
  }
  return nullptr;
}

bool TChangeMonitor::DeleteEntries(const std::vector<TEntryName>& entries) {
  if (Checking() || renewing_ > 0) return false;
  TStartups restore(kNoWindow, platform_);
  std::vector<const TStartup*> now;
  std::vector<TDifference> drivers;
  for (const TEntryName& name : entries) {
    const TStartup* entry = SnapshotEntry(name);
    if (!entry) continue;
    if (catalogue::IsBootOrSystemDriver(*entry)) drivers.push_back(TDifference{catalogue::ChangeKind::Added, entry, nullptr});
  }
  // A driver Windows may need to start is undone only after the question a No to it brings.
  const bool driversToo = drivers.empty() || host_.ConfirmRisk(DriverRiskQuestion(drivers));
  for (const TEntryName& name : entries) {
    const TStartup* entry = SnapshotEntry(name);
    if (!entry || (!driversToo && catalogue::IsBootOrSystemDriver(*entry))) continue;
    const TStartup* removal = nullptr;
    if (entry->Place()->KeptData(entry->ValueName())) {
      removal = KeptInstead(restore, *entry);
    } else if (TStartup* copy = restore.AddCopy(*entry)) {
      copy->SetEnabled(false);
      removal = copy;
    }
    // KeptInstead hands back the entry itself where the system's data could not be told: reported.
    if (removal && removal != entry) now.push_back(entry);
  }
  CarryOut(restore, now, true);
  return true;
}

namespace {

// Disables an entry in its place's own off state, where its kind has one.
struct Disabling final : catalogue::TPlaceVisitor {
  const TStartup& entry;
  TStartups& restore;
  std::vector<const TStartup*>& now;
  bool none = false;
  Disabling(const TStartup& e, TStartups& r, std::vector<const TStartup*>& n) : entry(e), restore(r), now(n) {}
  void Task(const catalogue::TPlace&) override {
    const auto definition =
        entry.LinkData().empty()
            ? std::nullopt
            : DisabledDefinition(std::string(entry.LinkData().begin(), entry.LinkData().end()));
    if (!definition) {
      none = true;
      return;
    }
    // Registered again with its switch off, as a No registers an earlier definition.
    TStartup* off = restore.AddCopy(entry);
    if (!off) return;
    off->LinkData().assign(definition->begin(), definition->end());
    off->SetValueType(catalogue::kTaskDisabled);
    now.push_back(&entry);
  }
  void Service(const catalogue::TPlace&) override {
    TStartup* off = restore.AddCopy(entry);
    if (!off) return;
    off->SetEnabled(false);
    now.push_back(&entry);
  }
  void Registry(const catalogue::TPlace&) override { none = true; }
  void Folder(const catalogue::TPlace&) override { none = true; }
};

}  // namespace

bool TChangeMonitor::DisableEntries(const std::vector<TEntryName>& entries, std::vector<std::string>& notDisabled) {
  if (Checking() || renewing_ > 0) return false;
  TStartups restore(kNoWindow, platform_);
  std::vector<const TStartup*> now;
  for (const TEntryName& name : entries) {
    const TStartup* entry = SnapshotEntry(name);
    if (!entry) continue;
    const catalogue::TPlace& place = *entry->Place();
    const std::vector<Section>& switches = catalogue::ApprovalPlacesOf(entry->GetSection());
    if (!switches.empty()) {
      // The first of the switches is the one Task Manager writes for the place.
      const std::vector<std::uint8_t> bytes = DisabledSwitch();
      TStartup* off = restore.AddEntry(entry->ValueName(), entry->ValueName(), std::string(), HexOf(bytes),
                                       switches.front(), 0);
      if (!off) continue;
      off->LinkData() = bytes;
      off->SetValueType(platform::kRegBinary);
      now.push_back(SnapshotEntry({switches.front(), entry->ValueName()}));
    } else {
      Disabling disabling(*entry, restore, now);
      place.Kind().Accept(disabling, place);
      if (disabling.none) notDisabled.push_back(entry->Name());
    }
  }
  CarryOut(restore, now, false);
  return true;
}

}  // namespace korvalis::app
