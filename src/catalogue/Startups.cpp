#include "catalogue/Startups.h"

#include <algorithm>

#include "catalogue/Quarantine.h"

#include "platform/Error.h"
#include "text/Fileman.h"

namespace korvalis::catalogue {

namespace {
std::string TitleWithoutExtension(const std::string& title) {
  const auto cut = title.find_last_of("\\:");
  const auto dot = title.find_last_of('.');
  if (dot == std::string::npos || (cut != std::string::npos && dot < cut)) return title;
  return title.substr(0, dot);
}
}  // namespace

TStartups::TStartups(platform::WindowHandle ownerWindow, const platform::Platform& platform)
    : ownerWindow_(ownerWindow), platform_(platform) {}

TStartup& TStartups::Items(int index) const {
  if (index < 0 || index >= Count()) throw Error(FormatText("List index out of bounds (%d)", index));
  return *entries_[static_cast<std::size_t>(index)];
}

void TStartups::Clear() {
  entries_.clear();
  byIdentity_.clear();
  indexStale_ = false;
}

std::size_t TStartups::IdentityOf(const std::string& name, const std::string& command, Section section) {
  const std::hash<std::string> hash;
  return hash(name) ^ (hash(command) * 31) ^ (static_cast<std::size_t>(section) << 7);
}

void TStartups::Index(TStartup* entry) {
  byIdentity_[IdentityOf(entry->Name(), entry->Command(), entry->GetSection())].push_back(entry);
}

void TStartups::RebuildIndex() {
  byIdentity_.clear();
  for (const auto& entry : entries_) Index(entry.get());
  indexStale_ = false;
}

TStartup* TStartups::Add(const std::string& name, const std::string& title, const std::string& command,
                         Section section, std::int32_t iconIndex) {
  // A startup folder's entry stands for the shortcut file of its name.
  return AddEntry(name, IsFolderSection(section) && !name.empty() ? name + ".lnk" : name, title, command, section,
                  iconIndex);
}

TStartup* TStartups::AddEntry(const std::string& name, const TEntryKey& key, const std::string& title,
                              const std::string& command, Section section, std::int32_t iconIndex) {
  if (indexStale_) RebuildIndex();
  // The hash only narrows the search.
  if (const auto found = byIdentity_.find(IdentityOf(name, command, section)); found != byIdentity_.end())
    for (TStartup* entry : found->second)
      if (entry->Command() == command && entry->GetSection() == section && entry->Name() == name &&
          entry->Key() == key)
        return entry;
  if (command.empty()) return nullptr;
  auto entry = std::make_unique<TStartup>(TStartup::CreationKey{});
  entry->SetEnabled(true);
  entry->SetCommand(command);
  entry->SetTitle(title.empty() ? text::FileNamePart(entry->Command()) : title);
  entry->SetName(name.empty() ? TitleWithoutExtension(entry->Title()) : name);
  entry->SetSection(section);
  entry->SetValueName(key);
  entry->SetIconIndex(iconIndex);
  entry->SetOwner(this);
  Index(entry.get());
  entries_.push_back(std::move(entry));
  return entries_.back().get();
}

TStartup* TStartups::AddRecord(const TEntryRecord& record, const std::string& title) {
  TStartup* entry = AddEntry(record.name, record.valueName, title, record.command, record.section, record.iconIndex);
  if (!entry) return nullptr;
  entry->SetValueType(record.valueType);
  entry->LinkData() = record.data;
  entry->SetContent(record.contentSize, record.contentHash);
  return entry;
}

TStartup* TStartups::AddCopy(const TStartup& entry) {
  // A copy of the default value's entry must still write to the default value.
  return AddEntry(entry.Name(), entry.Key(), entry.Title(), entry.Command(), entry.GetSection(),
                  entry.IconIndex());
}

void TStartups::LoadSections(SectionSet sections) { LoadKinds(sections, nullptr); }

void TStartups::LoadSections(SectionSet sections, ReadProblems& problems) { LoadKinds(sections, &problems); }

void TStartups::LoadKinds(SectionSet sections, ReadProblems* problems) {
  constexpr int kReadPasses = 3;
  for (int pass = 0; pass < kReadPasses; ++pass)
    for (const TPlace* place : ReadPlaces(true))
      if (sections.Contains(place->section) && place->Kind().ReadPass() == pass)
        place->Kind().Read(*this, *place, problems);
}

void TStartups::ApplyAll() {
  for (const auto& entry : entries_) entry->Apply();
}

std::vector<std::unique_ptr<TStartup>> TStartups::TakeSection(Section section) {
  std::vector<std::unique_ptr<TStartup>> taken, kept;
  for (auto& entry : entries_) (entry->GetSection() == section ? taken : kept).push_back(std::move(entry));
  entries_ = std::move(kept);
  RebuildIndex();
  for (auto& entry : taken) entry->SetOwner(nullptr);
  return taken;
}

void TStartups::Adopt(std::vector<std::unique_ptr<TStartup>> entries) {
  for (auto& entry : entries) {
    entry->SetOwner(this);
    Index(entry.get());
    entries_.push_back(std::move(entry));
  }
}

}  // namespace korvalis::catalogue

namespace korvalis::catalogue {

std::string TStartups::QuarantineFolder() const {
  return quarantine_ ? *quarantine_ : catalogue::QuarantineFolder(platform_.environment);
}

}  // namespace korvalis::catalogue
