#pragma once
#include <cstdlib>
#include <string>
#include <vector>

namespace korvalis::testing {

// Errors the central report received during the window tests.
extern std::vector<std::string> reportedErrors;

// Where screenshots and other artifacts of the window tests go.
inline std::string ArtifactPath(const std::string& name) {
  const char* folder = std::getenv("KORVALIS_ARTIFACTS");
  return std::string(folder ? folder : ".") + "\\" + name;
}

}  // namespace korvalis::testing
