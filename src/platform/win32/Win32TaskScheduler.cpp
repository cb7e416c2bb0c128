#include "platform/win32/Win32TaskScheduler.h"

#include <windows.h>

#include <algorithm>

#include <oleauto.h>
#include <taskschd.h>

#include "platform/win32/ComScope.h"
#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

namespace korvalis::platform::win32 {

static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED && kErrorFileNotFound == ERROR_FILE_NOT_FOUND);

namespace {

constexpr int kMaxFolderDepth = 32;
constexpr const wchar_t* kTaskCacheTree = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree";

inline void FreeBstr(BSTR text) { SysFreeString(text); }
using UniqueBstr = UniqueHandle<NullTraits<BSTR, FreeBstr>>;

UniqueBstr Bstr(const std::wstring& text) { return UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))); }

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr, nullptr);
  return narrow;
}

// Names too go as UTF-8, never through the code page: a name outside it would come back as
// another name, and its deletion would find nothing and look done.
std::string FromBstr(const UniqueBstr& text) { return WideToUtf8(text.get(), text ? SysStringLen(text.get()) : 0); }

Status StatusOf(HRESULT result) {
  if (SUCCEEDED(result)) return kSuccess;
  if (result == E_ACCESSDENIED) return kErrorAccessDenied;
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) {
    const Status code = HRESULT_CODE(result);
    return code == ERROR_PATH_NOT_FOUND ? kErrorFileNotFound : code;
  }
  return ERROR_GEN_FAILURE;
}

struct Variant {
  Variant() { VariantInit(&value); }
  ~Variant() { VariantClear(&value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT value;
};

ComPtr<ITaskService> Connected() {
  ComPtr<ITaskService> service;
  if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                              service.put_void())))
    return service;
  Variant none;
  if (FAILED(service->Connect(none.value, none.value, none.value, none.value))) service.reset();
  return service;
}

ComPtr<ITaskFolder> FolderOf(ITaskService& service, const std::wstring& path) {
  ComPtr<ITaskFolder> folder;
  const UniqueBstr name = Bstr(path);
  if (FAILED(service.GetFolder(name.get(), folder.put()))) folder.reset();
  return folder;
}

// The tasks of a folder and its subfolders; false where the API does not enumerate.
bool Walk(ITaskFolder& folder, std::vector<RegisteredTask>& tasks, int depth) {
  ComPtr<IRegisteredTaskCollection> collection;
  LONG count = 0;
  if (FAILED(folder.GetTasks(TASK_ENUM_HIDDEN, collection.put())) || FAILED(collection->get_Count(&count)))
    return false;
  for (LONG i = 1; i <= count; ++i) {
    Variant index;
    index.value.vt = VT_I4;
    index.value.lVal = i;
    ComPtr<IRegisteredTask> task;
    UniqueBstr path, xml;
    // One the caller may not read is one it cannot see.
    if (FAILED(collection->get_Item(index.value, task.put())) || FAILED(task->get_Path(path.put())) ||
        FAILED(task->get_Xml(xml.put())))
      continue;
    tasks.push_back(RegisteredTask{FromBstr(path), FromBstr(xml)});
  }
  ComPtr<ITaskFolderCollection> folders;
  if (depth >= kMaxFolderDepth || FAILED(folder.GetFolders(0, folders.put())) || FAILED(folders->get_Count(&count)))
    return true;
  for (LONG i = 1; i <= count; ++i) {
    Variant index;
    index.value.vt = VT_I4;
    index.value.lVal = i;
    ComPtr<ITaskFolder> sub;
    if (SUCCEEDED(folders->get_Item(index.value, sub.put()))) Walk(*sub.get(), tasks, depth + 1);
  }
  return true;
}

std::wstring TasksFolder() {
  wchar_t system[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return std::wstring(system, length) + L"\\Tasks";
}

// A definition file, at most one byte past the bound, so a giant one is refused unread.
bool ReadDefinitionFile(const std::wstring& path, std::string& xml) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  std::vector<std::uint8_t> bytes(kMaxTaskDefinitionBytes + 1);
  std::size_t done = 0;
  DWORD read = 0;
  while (done < bytes.size() &&
         ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr) && read > 0)
    done += read;
  bytes.resize(done);
  xml = TaskFileText(bytes);
  return true;
}

// The files below the Tasks folder, each a definition named by its path from there.
// The folder not being there means no task; one the user may not list is no answer.
Status ReadFolder(const std::wstring& folder, const std::string& path, std::vector<RegisteredTask>& tasks, int depth) {
  WIN32_FIND_DATAW found{};
  UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!find) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kSuccess : static_cast<Status>(error);
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring full = folder + L"\\" + name;
    const std::string taskPath = path + "\\" + WideToUtf8(name.data(), name.size());
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (depth < kMaxFolderDepth && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ReadFolder(full, taskPath, tasks, depth + 1);
      continue;
    }
    std::string xml;
    if (ReadDefinitionFile(full, xml)) tasks.push_back(RegisteredTask{taskPath, std::move(xml)});
  } while (FindNextFileW(find.get(), &found));
  return kSuccess;
}

// The definition file of a task path, or none for a path that could leave the Tasks folder.
std::wstring FilePathOf(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  if (wide.empty() || wide[0] != L'\\' || wide.find(L'/') != std::wstring::npos || wide.find(L':') != std::wstring::npos)
    return std::wstring();
  for (std::size_t start = 1; start <= wide.size();) {
    const std::size_t cut = std::min(wide.find(L'\\', start), wide.size());
    const std::wstring part = wide.substr(start, cut - start);
    if (part.empty() || part == L"." || part == L"..") return std::wstring();
    start = cut + 1;
  }
  const std::wstring folder = TasksFolder();
  return folder.empty() ? folder : folder + wide;
}

Status LastStatus() {
  const DWORD error = GetLastError();
  return error == ERROR_PATH_NOT_FOUND ? kErrorFileNotFound : static_cast<Status>(error);
}

Status WriteDefinitionFile(const std::string& path, const std::string& xml) {
  const std::wstring file = FilePathOf(path);
  if (file.empty()) return kErrorInvalidParameter;
  // Its folders first, each one made if missing.
  for (std::size_t cut = TasksFolder().size() + 1; (cut = file.find(L'\\', cut)) != std::wstring::npos; ++cut)
    CreateDirectoryW(file.substr(0, cut).c_str(), nullptr);
  UniqueFile out(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return LastStatus();
  const std::vector<std::uint8_t> bytes = TaskFileBytes(xml);
  DWORD written = 0;
  if (!WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
    return LastStatus();
  return kSuccess;
}

class FolderTreeWatch : public ChangeWatch {
 public:
  explicit FolderTreeWatch(HANDLE handle) : handle_(handle) {}
  ~FolderTreeWatch() override { FindCloseChangeNotification(handle_); }
  bool Signaled() override { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }
  std::uintptr_t NativeEvent() const override { return reinterpret_cast<std::uintptr_t>(handle_); }

 private:
  HANDLE handle_;
};

class KeyTreeWatch : public ChangeWatch {
 public:
  KeyTreeWatch(UniqueKey key, UniqueEvent event) : key_(std::move(key)), event_(std::move(event)) {}
  bool Signaled() override { return WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }
  std::uintptr_t NativeEvent() const override { return reinterpret_cast<std::uintptr_t>(event_.get()); }

 private:
  UniqueKey key_;  // open for as long as it is watched
  UniqueEvent event_;
};

}  // namespace

bool Win32TaskScheduler::ApiLists() {
  if (const Listing known = listing_.load(); known != Listing::Unknown) return known == Listing::Api;
  const ComScope com;
  ComPtr<ITaskService> service = Connected();
  ComPtr<ITaskFolder> root = service ? FolderOf(*service.get(), L"\\") : ComPtr<ITaskFolder>();
  // No connection is no answer: the files stand in this time, and the next call asks again.
  if (!root) return false;
  ComPtr<IRegisteredTaskCollection> collection;
  LONG count = 0;
  const bool lists =
      SUCCEEDED(root->GetTasks(TASK_ENUM_HIDDEN, collection.put())) && SUCCEEDED(collection->get_Count(&count));
  listing_.store(lists ? Listing::Api : Listing::Files);
  return lists;
}

Status Win32TaskScheduler::ListTasks(std::vector<RegisteredTask>& tasks) {
  tasks.clear();
  const ComScope com;
  ComPtr<ITaskService> service = ApiLists() ? Connected() : ComPtr<ITaskService>();
  ComPtr<ITaskFolder> root = service ? FolderOf(*service.get(), L"\\") : ComPtr<ITaskFolder>();
  const bool listed = root && Walk(*root.get(), tasks, 0);
  if (listed && !tasks.empty()) return kSuccess;
  tasks.clear();
  // Where the user may not read the folder, the API's empty answer stands.
  const std::wstring folder = TasksFolder();
  const Status status = folder.empty() ? kErrorPathNotFound : ReadFolder(folder, std::string(), tasks, 0);
  return listed ? kSuccess : status;
}

Status Win32TaskScheduler::ReadTask(const std::string& path, std::string& xml) {
  const ComScope com;
  ComPtr<ITaskService> service = ApiLists() ? Connected() : ComPtr<ITaskService>();
  if (service) {
    ComPtr<ITaskFolder> root = FolderOf(*service.get(), L"\\");
    const UniqueBstr name = Bstr(Utf8ToWide(path));
    ComPtr<IRegisteredTask> task;
    UniqueBstr text;
    const HRESULT result = root ? root->GetTask(name.get(), task.put()) : E_FAIL;
    if (FAILED(result)) return StatusOf(result);
    if (FAILED(task->get_Xml(text.put()))) return ERROR_GEN_FAILURE;
    xml = FromBstr(text);
    return kSuccess;
  }
  // Where the API keeps less than the definition, its file is the task, as for the listing.
  const std::wstring file = FilePathOf(path);
  if (file.empty()) return kErrorFileNotFound;
  if (ReadDefinitionFile(file, xml)) return kSuccess;
  const Status status = LastStatus();
  return status == ERROR_FILE_NOT_FOUND ? kErrorFileNotFound : status;
}

Status Win32TaskScheduler::DeleteTask(const std::string& path) {
  const ComScope com;
  ComPtr<ITaskService> service = Connected();
  const auto cut = path.rfind('\\');
  if (cut == std::string::npos) return kErrorInvalidParameter;
  Status status = kErrorFileNotFound;
  if (service) {
    ComPtr<ITaskFolder> folder = FolderOf(*service.get(), Utf8ToWide(cut == 0 ? "\\" : path.substr(0, cut)));
    const UniqueBstr name = Bstr(Utf8ToWide(path.substr(cut + 1)));
    if (folder) status = StatusOf(folder->DeleteTask(name.get(), 0));
    if (status == kErrorAccessDenied || ApiLists()) return status;
  }
  // A definition file the API did not take with it is still a task to the file reader.
  const std::wstring file = FilePathOf(path);
  if (file.empty()) return status;
  if (DeleteFileW(file.c_str())) return kSuccess;
  const Status fileStatus = LastStatus();
  return fileStatus == kErrorFileNotFound ? status : fileStatus;
}

Status Win32TaskScheduler::RegisterTask(const std::string& path, const std::string& xml) {
  const ComScope com;
  ComPtr<ITaskService> service = Connected();
  Status status = kErrorFileNotFound;
  if (service) {
    ComPtr<ITaskFolder> root = FolderOf(*service.get(), L"\\");
    const UniqueBstr name = Bstr(Utf8ToWide(path));
    const UniqueBstr definition = Bstr(Utf8ToWide(xml));
    Variant none;
    ComPtr<IRegisteredTask> registered;
    // The definition's own principal decides as whom it runs.
    if (root)
      status = StatusOf(root->RegisterTask(name.get(), definition.get(), TASK_CREATE_OR_UPDATE, none.value, none.value,
                                           TASK_LOGON_NONE, none.value, registered.put()));
    if (status == kErrorAccessDenied || ApiLists()) return status;
  }
  // The API keeps less than the definition here: the file gets it whole.
  return WriteDefinitionFile(path, xml);
}

std::unique_ptr<ChangeWatch> Win32TaskScheduler::Watch() {
  const std::wstring folder = TasksFolder();
  const HANDLE handle = FindFirstChangeNotificationW(
      folder.c_str(), TRUE,
      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (handle != INVALID_HANDLE_VALUE) return std::make_unique<FolderTreeWatch>(handle);
  // A standard user may not open the folder; the scheduler's cache of task names may be readable.
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTaskCacheTree, 0, KEY_NOTIFY, key.put()) != ERROR_SUCCESS) return nullptr;
  UniqueEvent event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event || RegNotifyChangeKeyValue(key.get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                        event.get(), TRUE) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<KeyTreeWatch>(std::move(key), std::move(event));
}

}  // namespace korvalis::platform::win32
