#include "catalogue/Startup.h"

#include "catalogue/CommandLine.h"
#include "catalogue/Places.h"
#include "catalogue/Startups.h"

namespace korvalis::catalogue {

void TStartup::SetTitle(const std::string& title) { title_ = title; }

void TStartup::SetCommand(const std::string& command) {
  // The derivation starts from the program file of the previous command, so that one is
  // settled first.
  ProgramFile();
  record_.command = command;
  programFileDerived_ = false;
  if (owner_) owner_->EntryChanged();
}

const std::string& TStartup::ProgramFile() const {
  if (!programFileDerived_) {
    DeriveProgramFile(record_.command, programFile_);
    programFileDerived_ = true;
  }
  return programFile_;
}

void TStartup::SetIconIndex(std::int32_t iconIndex) { record_.iconIndex = iconIndex; }

void TStartup::SetSection(Section section) {
  record_.section = section;
  place_ = PlaceOf(section);
  if (owner_) owner_->EntryChanged();
}

void TStartup::SetName(const std::string& name) {
  // A renamed entry stands for the value of its new name; the default value keeps no name.
  if (ValueName() == record_.name) SetValueName(name);
  record_.name = name;
  if (owner_) owner_->EntryChanged();
}

void TStartup::SetValueName(const TEntryKey& key) {
  record_.valueName = key.BelowSubkey() || !place_ ? key : place_->Kind().KeyOf(*place_, key.Text());
}

void TStartup::Apply() const {
  if (place_) place_->Kind().WriteBack(*this, *place_);
}

}  // namespace korvalis::catalogue
