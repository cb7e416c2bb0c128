#include "platform/win32/Win32Shell.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

namespace korvalis::platform::win32 {

namespace {

// Longer than a path: descriptions and arguments may run to INFOTIPSIZE characters.
constexpr int kLinkTextChars = INFOTIPSIZE + 1;

template <typename Get>
HResult GetText(std::string& value, Get get) {
  std::vector<char> buffer(kLinkTextChars, '\0');
  const HRESULT result = get(buffer.data(), kLinkTextChars - 1);
  buffer.back() = '\0';
  if (result == S_OK) value.assign(buffer.data());
  return result;
}

class Win32Link : public ShellLinkObject {
 public:
  explicit Win32Link(ComPtr<IShellLinkA> link) : link_(std::move(link)) {}

  HResult Load(const std::string& path) override {
    ComPtr<IPersistFile> file;
    if (HRESULT result = link_->QueryInterface(IID_IPersistFile, file.put_void()); FAILED(result)) return result;
    return file->Load(AnsiToWide(path).c_str(), STGM_READ);
  }
  HResult Save(const std::string& path) override {
    ComPtr<IPersistFile> file;
    if (HRESULT result = link_->QueryInterface(IID_IPersistFile, file.put_void()); FAILED(result)) return result;
    return file->Save(AnsiToWide(path).c_str(), TRUE);
  }
  HResult Resolve(std::uint32_t flags) override { return link_->Resolve(nullptr, flags); }
  HResult GetWorkingDirectory(std::string& value) override {
    return GetText(value, [&](char* buffer, int size) { return link_->GetWorkingDirectory(buffer, size); });
  }
  HResult GetPath(std::string& value, std::uint32_t flags) override {
    return GetText(value, [&](char* buffer, int size) { return link_->GetPath(buffer, size, nullptr, flags); });
  }
  HResult GetIconLocation(std::string& path, int& index) override {
    return GetText(path, [&](char* buffer, int size) { return link_->GetIconLocation(buffer, size, &index); });
  }
  HResult GetDescription(std::string& value) override {
    return GetText(value, [&](char* buffer, int size) { return link_->GetDescription(buffer, size); });
  }
  HResult GetShowCmd(int& value) override { return link_->GetShowCmd(&value); }
  HResult GetHotkey(std::uint16_t& value) override {
    WORD hotkey = 0;
    const HRESULT result = link_->GetHotkey(&hotkey);
    value = hotkey;
    return result;
  }
  HResult GetArguments(std::string& value) override {
    return GetText(value, [&](char* buffer, int size) { return link_->GetArguments(buffer, size); });
  }
  HResult SetPath(const std::string& value) override { return link_->SetPath(value.c_str()); }
  HResult SetWorkingDirectory(const std::string& value) override { return link_->SetWorkingDirectory(value.c_str()); }
  HResult SetArguments(const std::string& value) override { return link_->SetArguments(value.c_str()); }
  HResult SetDescription(const std::string& value) override { return link_->SetDescription(value.c_str()); }
  HResult SetShowCmd(int value) override { return link_->SetShowCmd(value); }
  HResult SetHotkey(std::uint16_t value) override { return link_->SetHotkey(value); }
  HResult SetIconLocation(const std::string& path, int index) override {
    return link_->SetIconLocation(path.c_str(), index);
  }

 private:
  ComPtr<IShellLinkA> link_;
};

}  // namespace

std::string Win32Shell::SpecialFolderPath(int csidl, WindowHandle owner) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(reinterpret_cast<HWND>(owner), csidl, &list))) return {};
  UniqueCoMemory owned(list);
  char path[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(list, path)) return {};
  return path;
}

std::string Win32Shell::SpecialFolderPathEvenIfMissing(int csidl) {
  char path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

CreatedLink Win32Shell::CreateShellLink(bool inProcessOnly) {
  CreatedLink created;
  ComPtr<IShellLinkA> link;
  const DWORD context = inProcessOnly ? CLSCTX_INPROC_SERVER : (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER);
  created.result = CoCreateInstance(CLSID_ShellLink, nullptr, context, IID_IShellLinkA, link.put_void());
  if (SUCCEEDED(created.result)) created.link = std::make_unique<Win32Link>(std::move(link));
  return created;
}

std::intptr_t Win32Shell::Execute(WindowHandle parent, const std::string& verb, const std::string& file,
                                  const std::string& parameters, const std::string& folder, int showCommand) {
  const HINSTANCE result =
      ShellExecuteA(reinterpret_cast<HWND>(parent), verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), folder.empty() ? nullptr : folder.c_str(),
                    showCommand);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace korvalis::platform::win32
