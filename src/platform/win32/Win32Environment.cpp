#include "platform/win32/Win32Environment.h"

#include <windows.h>

#include <shlobj.h>

#include <vector>

namespace korvalis::platform::win32 {

namespace {
// Calls a "fill this buffer" function of the system, growing the buffer until the text fits.
template <typename Fill>
std::string ReadGrowing(Fill fill, DWORD initial = MAX_PATH) {
  std::vector<char> buffer(initial);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(std::max<std::size_t>(length + 1, buffer.size() * 2));
  }
  return std::string();
}
}  // namespace

bool Win32Environment::Variable(const std::string& name, std::string& value) {
  SetLastError(ERROR_SUCCESS);
  const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    value.clear();
    return true;
  }
  value = ReadGrowing([&](char* buffer, DWORD size) { return GetEnvironmentVariableA(name.c_str(), buffer, size); },
                      needed);
  return true;
}

std::string Win32Environment::WindowsFolder() {
  return ReadGrowing([](char* buffer, DWORD size) { return GetWindowsDirectoryA(buffer, size); });
}

std::string Win32Environment::SystemFolder() {
  return ReadGrowing([](char* buffer, DWORD size) { return GetSystemDirectoryA(buffer, size); });
}

std::string Win32Environment::ProgramPath() {
  // GetModuleFileName truncates silently and returns the buffer size when the path is longer.
  std::vector<char> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
  return std::string();
}

bool Win32Environment::UserName(std::uint32_t bufferChars, std::string& name) {
  std::vector<char> buffer(bufferChars + 1, '\0');
  DWORD size = bufferChars;
  if (!GetUserNameA(buffer.data(), &size)) return false;
  name.assign(buffer.data());
  return true;
}

bool Win32Environment::PlatformId(std::uint32_t& id) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
  id = version.dwPlatformId;
  return true;
}

std::string Win32Environment::LocalAppDataFolder() {
  char buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return buffer;
}

}  // namespace korvalis::platform::win32
