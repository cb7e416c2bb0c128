#pragma once
// Where in its place an entry is. Most entries are named by one name: a value of the place's
// key ("" for its default value), a file of a folder, a task by its path, a service by its key.
// A value of a subkey is named by the subkey's path from the place's key and the value's own
// name. Stored, a key is one text, "subkey\value" for the latter; only the place's kind reads
// such a text back (TPlaceKind::KeyOf), since a Run value's or a task's name holds backslashes
// that split nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace korvalis::catalogue {

class TEntryKey {
 public:
  TEntryKey() = default;
  // Named by one name, backslashes and all.
  TEntryKey(std::string name) : text_(std::move(name)) {}
  TEntryKey(const char* name) : text_(name) {}
  // A value of the subkey at that path below the place's key; value "" is the subkey's default.
  static TEntryKey Below(std::string_view subkey, std::string_view value) {
    TEntryKey key(std::string(subkey) + '\\' + std::string(value));
    key.cut_ = static_cast<std::uint32_t>(subkey.size());
    return key;
  }

  // A text whose last backslash, if any, ends the subkey's path.
  static TEntryKey SplitAtLast(std::string text) {
    const auto cut = text.rfind('\\');
    if (cut == std::string::npos) return TEntryKey(std::move(text));
    TEntryKey key(std::move(text));
    key.cut_ = static_cast<std::uint32_t>(cut);
    return key;
  }

  // As stored and compared: the name, or "subkey\value".
  const std::string& Text() const { return text_; }
  bool BelowSubkey() const { return cut_ != kNoCut; }
  // The subkey's path; empty for an entry named by one name.
  std::string_view Subkey() const { return BelowSubkey() ? std::string_view(text_).substr(0, cut_) : std::string_view(); }
  // The value's own name, or the one name.
  std::string_view Name() const { return BelowSubkey() ? std::string_view(text_).substr(cut_ + 1) : std::string_view(text_); }
  // The first key of the path: a service's, for the service and its library's value alike.
  std::string_view TopKey() const {
    const std::string_view whole = BelowSubkey() ? Subkey() : Name();
    return whole.substr(0, whole.find('\\'));
  }
  bool empty() const { return text_.empty(); }

  // The text names the key in full once its place is known.
  bool operator==(const TEntryKey& other) const { return text_ == other.text_; }

 private:
  static constexpr std::uint32_t kNoCut = UINT32_MAX;
  std::string text_;
  std::uint32_t cut_ = kNoCut;
};

}  // namespace korvalis::catalogue
