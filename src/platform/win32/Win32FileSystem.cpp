#include "platform/win32/Win32FileSystem.h"

#include <algorithm>

#include "platform/Sha256.h"
#include "platform/win32/Handles.h"

#include <aclapi.h>
#include <sddl.h>

namespace korvalis::platform::win32 {

bool Win32FileSystem::SetCurrentFolder(const std::string& path) {
  return !path.empty() && SetCurrentDirectoryA(path.c_str()) != FALSE;
}

std::string Win32FileSystem::CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  std::string buffer(needed, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
  buffer.resize(std::min<DWORD>(length, needed));
  return buffer;
}

bool Win32FileSystem::IsFile(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FindEntries(const std::string& pattern, std::vector<FolderEntry>& entries) {
  WIN32_FIND_DATAA found{};
  UniqueFind find(FindFirstFileA(pattern.c_str(), &found));
  if (!find) return false;
  do {
    entries.push_back(FolderEntry{found.cFileName, found.dwFileAttributes});
  } while (FindNextFileA(find.get(), &found));
  return true;
}

bool Win32FileSystem::ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<std::uint8_t> read;
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return false;
    if (got == 0) break;
    read.insert(read.end(), chunk, chunk + got);
  }
  bytes = std::move(read);
  return true;
}

namespace {

bool IsRegularDiskFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& information) {
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
         !(information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

// Opened to read while others read, write or delete it, so a hostile handle cannot block us.
UniqueFile OpenToRead(const std::string& path, DWORD flags) {
  return UniqueFile(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, flags, nullptr));
}

// Why OpenToRead failed, in the caller's own result type: gone, a folder, or unreadable.
template <typename Result>
Result NotOpened(const std::string& path) {
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Result::Missing;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  return folder ? Result::NotRegular : Result::Unreadable;
}

// NewFlushed: a temporary file that must not exist yet, flushed before it replaces another.
enum class Mode { Replace, NewFlushed, Append };

bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes, Mode mode) {
  // Appending opens for appending only: every write lands at the end, whatever else has the file.
  const bool append = mode == Mode::Append;
  UniqueFile file(CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, append ? FILE_SHARE_READ : 0,
                              nullptr, append ? OPEN_ALWAYS : mode == Mode::NewFlushed ? CREATE_NEW : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return mode != Mode::NewFlushed || FlushFileBuffers(file.get());
}

class FolderWatch : public ChangeWatch {
 public:
  explicit FolderWatch(HANDLE handle) : handle_(handle) {}
  ~FolderWatch() override { FindCloseChangeNotification(handle_); }
  bool Signaled() override { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }
  std::uintptr_t NativeEvent() const override { return reinterpret_cast<std::uintptr_t>(handle_); }

 private:
  HANDLE handle_;
};
}  // namespace

DigestResult Win32FileSystem::DigestFile(const std::string& path, std::size_t keepAtMost, FileDigest& digest) {
  // Opening a pipe or device does not wait; reading one might, so only a disk file is read.
  UniqueFile file = OpenToRead(path, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) return NotOpened<DigestResult>(path);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!IsRegularDiskFile(file.get(), information)) return DigestResult::NotRegular;
  Sha256 hash;
  FileDigest read;
  std::vector<std::uint8_t> chunk(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
      return DigestResult::Unreadable;
    if (got == 0) break;
    hash.Add(chunk.data(), got);
    read.size += got;
    if (read.size <= keepAtMost) read.bytes.insert(read.bytes.end(), chunk.begin(), chunk.begin() + got);
  }
  read.sha256 = hash.Finish();
  read.kept = read.size <= keepAtMost;
  if (!read.kept) read.bytes.clear();
  digest = std::move(read);
  return DigestResult::Read;
}

namespace {
// Each folder above the path looked at itself: a junction there would lead somewhere else.
bool ReparsePointAbove(const std::string& path) {
  for (auto cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1)) {
    const DWORD attributes = GetFileAttributesA(path.substr(0, cut).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  }
  return false;
}

bool ReadUpTo(HANDLE file, std::size_t most, std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> chunk(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) return false;
    if (got == 0) return true;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    // One byte past the limit is enough to tell the file grew beyond it.
    if (bytes.size() > most) return true;
  }
}
}  // namespace

OwnFileResult Win32FileSystem::ReadOwnFile(const std::string& path, std::size_t maxBytes,
                                           std::vector<std::uint8_t>& bytes) {
  if (ReparsePointAbove(path)) return OwnFileResult::ReparsePoint;
  UniqueFile file = OpenToRead(path, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) return NotOpened<OwnFileResult>(path);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.get(), &information)) return OwnFileResult::Unreadable;
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return OwnFileResult::ReparsePoint;
  if (!IsRegularDiskFile(file.get(), information)) return OwnFileResult::NotRegular;
  const std::uint64_t size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
  if (size > maxBytes) return OwnFileResult::TooLarge;
  std::vector<std::uint8_t> read;
  if (!ReadUpTo(file.get(), maxBytes, read)) return OwnFileResult::Unreadable;
  if (read.size() > maxBytes) return OwnFileResult::TooLarge;
  bytes = std::move(read);
  return OwnFileResult::Read;
}

bool Win32FileSystem::CanReplace(const std::string& path) {
  // The link itself is opened, not what it points to.
  UniqueFile file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_NOT_FOUND;
  BY_HANDLE_FILE_INFORMATION information{};
  return IsRegularDiskFile(file.get(), information) &&
         !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && information.nNumberOfLinks == 1;
}

bool Win32FileSystem::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  return WriteAll(path, bytes, Mode::Replace);
}

bool Win32FileSystem::AppendFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  return WriteAll(path, bytes, Mode::Append);
}

Status Win32FileSystem::Move(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) return kSuccess;
  return static_cast<Status>(GetLastError());
}

bool Win32FileSystem::WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = path + ".tmp";
  // A name left over, or one planted there as a link, is removed, never written through.
  DeleteFileA(temporary.c_str());
  if (!WriteAll(temporary, bytes, Mode::NewFlushed)) return false;
  if (MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileA(temporary.c_str());
  return false;
}

namespace {
std::unique_ptr<ChangeWatch> Watch(const std::string& path, DWORD filter) {
  const HANDLE handle = FindFirstChangeNotificationA(path.c_str(), FALSE, filter);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<FolderWatch>(handle);
}
}  // namespace

std::unique_ptr<ChangeWatch> Win32FileSystem::WatchFolder(const std::string& path) {
  return Watch(path, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
}

std::unique_ptr<ChangeWatch> Win32FileSystem::WatchSubfolders(const std::string& path) {
  return Watch(path, FILE_NOTIFY_CHANGE_DIR_NAME);
}

bool Win32FileSystem::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool Win32FileSystem::CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const auto cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 2) CreateFolders(path.substr(0, cut));
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {
void FreeLocal(PSECURITY_DESCRIPTOR memory) { LocalFree(memory); }
using UniqueDescriptor = UniqueHandle<NullTraits<PSECURITY_DESCRIPTOR, FreeLocal>>;

// Owned by the administrators, full control to them and SYSTEM only, inherited below, none from above.
constexpr const char* kAdministratorsOnly = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

bool IsPlainFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
}  // namespace

bool Win32FileSystem::MakeAdministratorsFolder(const std::string& path) {
  PSECURITY_DESCRIPTOR made = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1, &made, nullptr))
    return false;
  const UniqueDescriptor descriptor(made);
  if (ReparsePointAbove(path)) return false;
  SECURITY_ATTRIBUTES security{sizeof security, descriptor.get(), FALSE};
  if (!CreateDirectoryA(path.c_str(), &security) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  if (!IsPlainFolder(path)) return false;
  // One that was there already, perhaps made by a user's program, is taken over: owner and list.
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted))
    return false;
  std::string name = path;
  const DWORD set = SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                              PROTECTED_DACL_SECURITY_INFORMATION,
                                          owner, nullptr, dacl, nullptr);
  return set == ERROR_SUCCESS && IsPlainFolder(path) && !ReparsePointAbove(path);
}

}  // namespace korvalis::platform::win32
