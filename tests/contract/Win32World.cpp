#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

#include "contract/World.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Windows.h"

namespace korvalis::contract {

namespace {

class Win32World : public World {
 public:
  Win32World() {
    static int counter = 0;
    suffix_ = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  }
  ~Win32World() override {
    windows_.registry.DeleteTree(platform::RootKey::CurrentUser, "Software\\KorvalisTest\\" + suffix_);
    if (!folder_.empty()) RemoveFolder(folder_);
    if (service_) DeleteService(service_.get());
    if (!ghost_.empty()) windows_.registry.DeleteTree(platform::RootKey::LocalMachine, ghost_);
  }
  platform::Platform Platform() override { return windows_.platform(); }
  std::string ScratchKey() override { return "Software\\KorvalisTest\\" + suffix_; }
  std::string ScratchFolder() override {
    if (folder_.empty()) {
      char temp[MAX_PATH + 1] = {};
      GetTempPathA(MAX_PATH, temp);
      folder_ = std::string(temp) + "korvalis-" + suffix_;
      CreateDirectoryA(folder_.c_str(), nullptr);
    }
    return folder_;
  }
  void SetVariable(const std::string& name, const std::string& value) override {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
  }
  std::string ScratchService(std::uint32_t startType, const std::string& imagePath) override {
    const std::string name = "KorvalisScratch_" + suffix_;
    platform::win32::UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (manager)
      service_.reset(CreateServiceA(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_IGNORE, imagePath.c_str(),
                                    nullptr, nullptr, nullptr, nullptr, nullptr));
    return service_ ? name : std::string();
  }
  std::string RegistryOnlyService(std::uint32_t startType, const std::string& imagePath) override {
    const std::string name = "KorvalisGhost_" + suffix_;
    ghost_ = std::string(platform::kServicesKey) + "\\" + name;
    platform::OpenedKey key =
        windows_.registry.CreateKey(platform::RootKey::LocalMachine, ghost_, platform::KeyAccess::Write);
    if (!key) return std::string();
    const bool made = key.key->SetValue("Type", REG_DWORD, platform::DwordBytes(SERVICE_WIN32_OWN_PROCESS)) == 0 &&
                      key.key->SetValue("Start", REG_DWORD, platform::DwordBytes(startType)) == 0 &&
                      key.key->SetValue("ImagePath", REG_EXPAND_SZ, platform::StringBytes(imagePath)) == 0;
    return made ? name : std::string();
  }
  bool MakeHardLink(const std::string& existing, const std::string& path) override {
    return CreateHardLinkA(path.c_str(), existing.c_str(), nullptr) != FALSE;
  }
  // Wine makes neither pipes in folders nor symbolic links itself, but shows those made on its
  // host's side; on Windows these cases have nothing to run.
  bool MakePipe(const std::string& path) override {
    return RunOnHost("/usr/bin/mkfifo " + HostPath(path)) && Listed(path);
  }
  bool MakeSymbolicLink(const std::string& path, const std::string& target) override {
    return RunOnHost("/usr/bin/ln -s " + HostPath(target) + " " + HostPath(path)) && Listed(path);
  }
  platform::TPrincipal CurrentUser() override {
    platform::TPrincipal user;
    platform::win32::UniqueProcess token;
    BYTE buffer[512] = {};
    DWORD length = 0;
    LPSTR text = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
        GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &length) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      user.sid = text;
      LocalFree(text);
    }
    return user;
  }
  bool SetAccess(const std::string& path, const std::vector<platform::TAccessGrant>& grants) override {
    const bool folder = (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::string sddl = "D:P";
    for (const platform::TAccessGrant& grant : grants) {
      char ace[160] = {};
      snprintf(ace, sizeof ace, "(A;%s;0x%lx;;;%s)", folder ? "OICI" : "", static_cast<unsigned long>(grant.rights),
               grant.principal.sid.c_str());
      sddl += ace;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
      return false;
    platform::win32::UniqueLocalMemory kept(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return false;
    // Owned by the administrators where the case may say so, as an elevated setup leaves it.
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size))
      SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                            administrators, nullptr, nullptr, nullptr);
    return SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 dacl, nullptr) == ERROR_SUCCESS;
  }
  std::shared_ptr<void> HoldOpen(const std::string& path) override {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(file, [](HANDLE handle) { CloseHandle(handle); });
  }

 private:
  static std::string HostPath(const std::string& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return std::string();
    std::wstring wide(path.begin(), path.end());
    char* name = unixName(wide.c_str());
    if (!name) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
  }
  // The host program's end is not waited for through Wine: the name showing is.
  static bool Listed(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      WIN32_FIND_DATAA found{};
      HANDLE find = FindFirstFileA(path.c_str(), &found);
      if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        return true;
      }
      Sleep(20);
    }
    return false;
  }
  static bool RunOnHost(std::string command) {
    if (command.find("  ") != std::string::npos || command.back() == ' ') return false;  // a path was not found
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }
  static void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveFolder(path);
        else
          DeleteFileA(path.c_str());
      } while (FindNextFileA(find, &found));
      FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
  }

  platform::win32::Win32Windows windows_;
  std::string suffix_;
  std::string folder_;
  platform::win32::UniqueService service_;
  std::string ghost_;  // the registry-only service's key
};

}  // namespace

WorldKind Win32WorldKind() {
  return WorldKind{"Win32", [] { return std::unique_ptr<World>(std::make_unique<Win32World>()); }};
}

}  // namespace korvalis::contract
