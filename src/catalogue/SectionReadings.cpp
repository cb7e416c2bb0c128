#include "catalogue/SectionReadings.h"

#include "platform/Error.h"

namespace korvalis::catalogue {

const TStartups& TSectionReadings::Of(Section section) {
  auto found = readings_.find(section);
  if (found == readings_.end()) {
    Reading reading{std::make_unique<TStartups>(platform::WindowHandle{}, platform_), std::string()};
    ReadProblems problems;
    try {
      reading.entries->LoadSections(SectionSet::Of(section), problems);
    } catch (const std::exception& error) {
      reading.failure = error.what();
    }
    found = readings_.emplace(section, std::move(reading)).first;
  }
  if (!found->second.failure.empty()) throw Error(found->second.failure);
  return *found->second.entries;
}

}  // namespace korvalis::catalogue
