#include "catalogue/Startup.h"

#include "catalogue/CommandLine.h"

namespace korvalis::catalogue {

void TStartup::SetTitle(const std::string& title) { title_ = title; }

void TStartup::SetCommand(const std::string& command) {
  command_ = command;
  DeriveProgramFile(command_, programFile_);
}

void TStartup::SetIconIndex(std::int32_t iconIndex) { iconIndex_ = iconIndex; }

void TStartup::SetSection(Section section) { section_ = section; }

void TStartup::SetName(const std::string& name) { name_ = name; }

void TStartup::Apply() const {
  if (IsRegistrySection(section_)) {
    ApplyToRegistry();
  } else if (IsFolderSection(section_)) {
    ApplyToFolder();
  }
}

}  // namespace korvalis::catalogue
