#include "app/NameIndex.h"

#include <cstdint>

#include "text/StrMan.h"

namespace korvalis::app {

namespace {
unsigned char Folded(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}
}  // namespace

std::size_t TNameIndex::FoldedHash::operator()(std::string_view text) const {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (const char c : text) hash = (hash ^ Folded(c)) * 1099511628211ull;
  return static_cast<std::size_t>(hash);
}

bool TNameIndex::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Folded(a[i]) != Folded(b[i])) return false;
  return true;
}

TNameIndex::TNameIndex(const catalogue::TStartups& catalogue, catalogue::Section section) {
  for (int i = 0; i < catalogue.Count(); ++i)
    if (catalogue.Items(i).GetSection() == section) entries_.push_back(&catalogue.Items(i));
  if (entries_.size() < kIndexFrom) return;
  first_.reserve(entries_.size());
  for (const catalogue::TStartup* entry : entries_) first_.emplace(entry->ValueName(), entry);
}

const catalogue::TStartup* TNameIndex::Find(const std::string& name) const {
  if (entries_.size() >= kIndexFrom) {
    const auto it = first_.find(name);
    return it == first_.end() ? nullptr : it->second;
  }
  for (const catalogue::TStartup* entry : entries_)
    if (text::SameTextAscii(entry->ValueName(), name)) return entry;
  return nullptr;
}

}  // namespace korvalis::app
