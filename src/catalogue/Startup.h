#pragma once
// One program start registered in one startup location.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/Sections.h"

namespace korvalis::catalogue {

class TStartups;
struct TPlace;

class TStartup {
 public:
  // Only the catalogue can make the key: entries are created by TStartups::Add alone.
  class CreationKey {
    friend class TStartups;
    CreationKey() = default;
  };
  explicit TStartup(CreationKey) {}
  virtual ~TStartup() = default;
  TStartup(const TStartup&) = delete;
  TStartup& operator=(const TStartup&) = delete;

  std::int32_t IconIndex() const { return iconIndex_; }
  const std::string& Title() const { return title_; }
  const std::string& Name() const { return name_; }
  // The registry value the entry stands for: Name, except for a key's unnamed default value,
  // whose Name is made from its command for display while this stays empty. For a place of
  // subkeys, "subkey\value"; for a startup folder, the file's name with its extension.
  const std::string& ValueName() const { return valueName_; }
  const std::string& Command() const { return command_; }
  Section GetSection() const { return section_; }
  // The row of its section, turned from the number once, when the section is set; nullptr for
  // a number no place has.
  const TPlace* Place() const { return place_; }
  bool Enabled() const { return enabled_; }
  TStartups* Owner() const { return owner_; }
  // Derived from Command when it is first asked for: a tick reads every entry of a changed key,
  // but only an entry shown to the user needs its program file.
  const std::string& ProgramFile() const;
  // The bytes to put back: a startup folder's file as read, for a place that keeps its data
  // the registry value's bytes (of type ValueType), for a scheduled task its definition. A
  // service is two entries: one named as the service, its ImagePath the command and its start
  // type the ValueType, and, for a shared process, one named by ServiceDllEntryName, the
  // library the command.
  const std::vector<std::uint8_t>& LinkData() const { return linkData_; }
  std::vector<std::uint8_t>& LinkData() { return linkData_; }
  std::uint32_t ValueType() const { return valueType_; }
  void SetValueType(std::uint32_t type) { valueType_ = type; }
  // A startup folder's file by its content: its size and the SHA-256 of its bytes (32 bytes;
  // empty when the file is no file of a folder, or could not be read).
  std::uint64_t ContentSize() const { return contentSize_; }
  const std::string& ContentHash() const { return contentHash_; }
  void SetContent(std::uint64_t size, std::string hash) {
    contentSize_ = size;
    contentHash_ = std::move(hash);
  }

  // Task Manager keeps the entry from starting at logon, as its place's approval value says;
  // set for the questions by the monitor, never stored.
  bool DisabledInTaskManager() const { return disabledInTaskManager_; }
  void SetDisabledInTaskManager(bool disabled) { disabledInTaskManager_ = disabled; }

  virtual void SetTitle(const std::string& title);
  // Also derives ProgramFile from the command.
  virtual void SetCommand(const std::string& command);
  virtual void SetIconIndex(std::int32_t iconIndex);
  virtual void SetSection(Section section);
  virtual void SetName(const std::string& name);
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  void SetOwner(TStartups* owner) { owner_ = owner; }
  void SetValueName(const std::string& valueName) { valueName_ = valueName; }

  // Makes the entry's location agree with it: written when enabled, removed when not.
  void Apply() const;
  // What Apply does at each kind of place, called by the kind's own object.
  void ApplyToRegistry(const TPlace& place) const;
  void ApplyToFolder() const;
  void ApplyToService(const TPlace& place) const;
  // A refused task: its definition kept in the quarantine, then the task deleted, or its
  // earlier definition (LinkData) registered again.
  void ApplyToTask() const;

 private:
  // A task the scheduler's cache keeps from its API's sight: its keys deleted from the cache.
  void DeleteHiddenTask() const;

  std::int32_t iconIndex_ = 0;
  std::string title_;
  std::string name_;
  std::string valueName_;
  std::string command_;
  Section section_ = 0;
  const TPlace* place_ = nullptr;
  bool enabled_ = true;
  TStartups* owner_ = nullptr;
  mutable std::string programFile_;
  mutable bool programFileDerived_ = true;
  std::vector<std::uint8_t> linkData_;
  std::uint32_t valueType_ = 0;
  std::uint64_t contentSize_ = 0;
  std::string contentHash_;
  bool disabledInTaskManager_ = false;
};

}  // namespace korvalis::catalogue
