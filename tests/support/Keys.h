#pragma once
// The startup keys as the tests write them.
namespace korvalis::testing {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kRunServicesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
constexpr const char* kRunServicesOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";

}  // namespace korvalis::testing
