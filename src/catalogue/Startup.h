#pragma once
// One program start registered in one startup location.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/EntryKey.h"
#include "catalogue/EntryRecord.h"
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

  std::int32_t IconIndex() const { return record_.iconIndex; }
  const std::string& Title() const { return title_; }
  const std::string& Name() const { return record_.name; }
  // Where in its place the entry is: the registry value it stands for, named as Name except for
  // a key's unnamed default value, whose Name is made from its command for display while this
  // stays empty; a value of a subkey; a startup folder's file by its name with its extension;
  // a task by its path; a service, or its library's value.
  const TEntryKey& Key() const { return record_.valueName; }
  // The key as stored and compared.
  const std::string& ValueName() const { return record_.valueName.Text(); }
  const std::string& Command() const { return record_.command; }
  Section GetSection() const { return record_.section; }
  // All the entry is in its place, as the baseline stores it and the elevated copy is sent it.
  const TEntryRecord& Record() const { return record_; }
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
  // type the ValueType, and, for a shared process, one at ServiceDllKey, the
  // library the command.
  const std::vector<std::uint8_t>& LinkData() const { return record_.data; }
  std::vector<std::uint8_t>& LinkData() { return record_.data; }
  std::uint32_t ValueType() const { return record_.valueType; }
  void SetValueType(std::uint32_t type) { record_.valueType = type; }
  std::uint64_t ContentSize() const { return record_.contentSize; }
  const std::string& ContentHash() const { return record_.contentHash; }
  void SetContent(std::uint64_t size, std::string hash) {
    record_.contentSize = size;
    record_.contentHash = std::move(hash);
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
  // A key given as one name is read as its place reads a stored key: a value's path below the
  // place's key is split there.
  void SetValueName(const TEntryKey& key);

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

  TEntryRecord record_;
  std::string title_;
  const TPlace* place_ = nullptr;
  bool enabled_ = true;
  TStartups* owner_ = nullptr;
  mutable std::string programFile_;
  mutable bool programFileDerived_ = true;
  bool disabledInTaskManager_ = false;
};

}  // namespace korvalis::catalogue
