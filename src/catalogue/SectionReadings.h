#pragma once
// The sections as read once for a batch of undos: checking each of 2,000 tasks against a fresh
// reading of every task would take hours where the scheduler is slow to list.
#include <map>
#include <memory>
#include <string>

#include "catalogue/Startups.h"

namespace korvalis::catalogue {

class TSectionReadings {
 public:
  explicit TSectionReadings(const platform::Platform& platform) : platform_(platform) {}

  // The section as first read through this object; a reading that failed fails again with
  // the same message, without reading again.
  const TStartups& Of(Section section);

 private:
  struct Reading {
    std::unique_ptr<TStartups> entries;
    std::string failure;  // empty when it was read
  };
  const platform::Platform& platform_;
  std::map<Section, Reading> readings_;
};

}  // namespace korvalis::catalogue
