#include "app/NameIndex.h"

#include "text/StrMan.h"

namespace korvalis::app {

TNameIndex::TNameIndex(const catalogue::TStartups& catalogue, catalogue::Section section) {
  for (int i = 0; i < catalogue.Count(); ++i)
    if (catalogue.Items(i).GetSection() == section) entries_.push_back(&catalogue.Items(i));
  if (entries_.size() < kIndexFrom) return;
  first_.reserve(entries_.size());
  for (const catalogue::TStartup* entry : entries_) first_.emplace(text::UpperAscii(entry->Name()), entry);
}

const catalogue::TStartup* TNameIndex::Find(const std::string& name) const {
  if (entries_.size() >= kIndexFrom) {
    const auto it = first_.find(text::UpperAscii(name));
    return it == first_.end() ? nullptr : it->second;
  }
  for (const catalogue::TStartup* entry : entries_)
    if (text::SameTextAscii(entry->Name(), name)) return entry;
  return nullptr;
}

}  // namespace korvalis::app
