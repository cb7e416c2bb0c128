// What a real Windows reads from korvalis.exe besides its code: the message table Event Viewer
// formats the program's records with, and the manifest the loader starts it by.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "app/Decisions.h"
#include "app/KorvalisMain.h"
#include "platform/memory/MemoryWindows.h"
#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

namespace korvalis::app {

namespace {

using platform::win32::AnsiToWide;

void UnloadModule(HMODULE module) { FreeLibrary(module); }
void FreeLocalMemory(HLOCAL memory) { LocalFree(memory); }
void ReleaseContext(HANDLE context) { ReleaseActCtx(context); }
using UniqueModule = platform::win32::UniqueHandle<platform::win32::NullTraits<HMODULE, UnloadModule>>;
using UniqueLocal = platform::win32::UniqueHandle<platform::win32::NullTraits<HLOCAL, FreeLocalMemory>>;
using UniqueContext = platform::win32::UniqueHandle<platform::win32::InvalidTraits<ReleaseContext>>;

class SilentHost : public MainHost {
 public:
  void SetTimerEnabled(bool) override {}
  bool AskUser(const app::TChangeQuestion&, bool) override { return true; }
  void ReportError(const std::exception& error) override { ADD_FAILURE() << error.what(); }
};

std::string ProgramFile() {
  std::string path = KORVALIS_PROGRAM_FILE;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// The program file as built, loaded for its resources only.
UniqueModule LoadProgram() {
  return UniqueModule(
      LoadLibraryExA(ProgramFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// The record's description, or nothing when the module has no message for its event id.
std::optional<std::wstring> Description(HMODULE module, const platform::memory::EventRecord& record) {
  std::vector<std::wstring> strings;
  for (const auto& text : record.strings) strings.push_back(AnsiToWide(text));
  std::vector<DWORD_PTR> arguments;
  for (const auto& text : strings) arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     module, record.eventId, 0, reinterpret_cast<wchar_t*>(&text), 0,
                     reinterpret_cast<va_list*>(arguments.data()));
  const UniqueLocal owner(text);
  if (length == 0) return std::nullopt;
  return std::wstring(text, length);
}

}  // namespace

TEST(ProgramFileWin32, EveryRecordOfTheProgramIsDescribedByExactlyItsText) {
  const UniqueModule program = LoadProgram();
  ASSERT_TRUE(program) << GetLastError();
  platform::memory::MemoryWindows windows;
  SilentHost host;
  {
    TKorvalisMain main(windows.platform(), host, [] { return std::string("T"); });
    main.FormCreate();
    main.FormClose();
    main.FormDestroy();
  }
  ASSERT_FALSE(windows.eventLog.records.empty());
  for (const auto& record : windows.eventLog.records) {
    // No category file is registered, and category 0 is the one Event Viewer names without it.
    EXPECT_EQ(record.category, 0) << record.eventId;
    ASSERT_EQ(record.strings.size(), 1u);
    EXPECT_EQ(Description(program.get(), record), AnsiToWide(record.strings[0])) << record.eventId;
  }
}

// Each decision's record as Event Viewer shows it: its own message, the strings in their places.
TEST(ProgramFileWin32, EveryDecisionsEventIdIsFormattedByItsOwnMessage) {
  const UniqueModule program = LoadProgram();
  ASSERT_TRUE(program) << GetLastError();
  const TRecordedEntry entry{catalogue::kCurrentUserRun, "Updater", "C:\\Apps\\upd.exe /q", "", ""};
  const std::wstring facts = L"Command: C:\\Apps\\upd.exe /q\r\nSigner: Acme Software Ltd\r\nUser: alice";
  const std::pair<TDecision, std::wstring> expected[] = {
      {TDecision::Asked, L"Asked: Updater in Current User Run\r\n" + facts},
      {TDecision::Allowed, L"Allowed: Updater in Current User Run\r\n" + facts},
      {TDecision::Refused, L"Refused: Updater in Current User Run\r\n" + facts},
      {TDecision::Undone, L"Undone: Updater in Current User Run\r\n" + facts},
      {TDecision::UndoneAsAdministrator, L"Undone as administrator: Updater in Current User Run\r\n" + facts},
      {TDecision::UpdateTold, L"Update told: Updater in Current User Run, signed by Acme Software Ltd as "
                              L"before\r\nCommand: C:\\Apps\\upd.exe /q\r\nUser: alice"},
      {TDecision::Failed, L"Not undone: Updater in Current User Run\r\n" + facts +
                              L"\r\nFailed to delete value 'Updater'"}};
  ASSERT_EQ(std::size(expected), kAllDecisions.size());
  for (const auto& [decision, text] : expected) {
    platform::memory::EventRecord record;
    record.eventId = static_cast<std::uint32_t>(decision);
    record.strings = InsertionStrings(entry, "Acme Software Ltd", "alice",
                                      decision == TDecision::Failed ? "Failed to delete value 'Updater'" : "");
    EXPECT_EQ(Description(program.get(), record), text) << DecisionName(decision);
  }
}

// The manifest as the loader reads it: a malformed one stops the program from starting at all, and
// a setting in a wrong namespace is silently ignored.
TEST(ProgramFileWin32, TheManifestDeclaresWindows7To11AndTheUtf8CodePage) {
  const std::string path = ProgramFile();
  ACTCTXA request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path.c_str();
  request.lpResourceName = MAKEINTRESOURCEA(1);
  const UniqueContext context(CreateActCtxA(&request));
  ASSERT_TRUE(context) << GetLastError();

  wchar_t codePage[16] = {};
  SIZE_T written = 0;
  ASSERT_TRUE(QueryActCtxSettingsW(0, context.get(), L"http://schemas.microsoft.com/SMI/2019/WindowsSettings",
                                   L"activeCodePage", codePage, std::size(codePage), &written));
  EXPECT_EQ(std::wstring(codePage), L"UTF-8");

  // Without its id a Windows version runs the program as one written for an earlier one.
  const std::pair<const char*, GUID> versions[] = {
      {"7", {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}},
      {"8", {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}},
      {"8.1", {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}},
      {"10 and 11", {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}}};
  std::vector<unsigned char> information(1024);
  SIZE_T needed = 0;
  ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, CompatibilityInformationInActivationContext,
                           information.data(), information.size(), &needed))
      << GetLastError();
  information.resize(needed);
  DWORD count = 0;
  ASSERT_GE(information.size(), sizeof count);
  std::memcpy(&count, information.data(), sizeof count);
  EXPECT_EQ(count, std::size(versions));
  // The element layout differs between system versions; the ids are found wherever they stand.
  for (const auto& [name, id] : versions) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&id);
    EXPECT_NE(std::search(information.begin(), information.end(), bytes, bytes + sizeof id), information.end())
        << "Windows " << name;
  }
}

}  // namespace korvalis::app
