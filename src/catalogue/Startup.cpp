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
  command_ = command;
  programFileDerived_ = false;
  if (owner_) owner_->EntryChanged();
}

const std::string& TStartup::ProgramFile() const {
  if (!programFileDerived_) {
    DeriveProgramFile(command_, programFile_);
    programFileDerived_ = true;
  }
  return programFile_;
}

void TStartup::SetIconIndex(std::int32_t iconIndex) { iconIndex_ = iconIndex; }

void TStartup::SetSection(Section section) {
  section_ = section;
  place_ = PlaceOf(section);
  if (owner_) owner_->EntryChanged();
}

void TStartup::SetName(const std::string& name) {
  // A renamed entry stands for the value of its new name; the default value keeps no name.
  if (valueName_ == name_) valueName_ = name;
  name_ = name;
  if (owner_) owner_->EntryChanged();
}

void TStartup::Apply() const {
  if (place_) place_->Kind().WriteBack(*this, *place_);
}

}  // namespace korvalis::catalogue
