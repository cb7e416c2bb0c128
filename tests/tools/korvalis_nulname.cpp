// Makes and looks for a registry value whose name holds a NUL, under HKEY_CURRENT_USER, the way
// a program hiding from the registry tools does: through ntdll, which takes counted names.
//   korvalis_nulname create KEYPATH BEFORE AFTER DATA   writes REG_SZ DATA as "BEFORE\0AFTER"
//   korvalis_nulname exists KEYPATH BEFORE AFTER        exit 0 when that value is there, 1 when not
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <string>

#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

extern "C" {
NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG titleIndex, ULONG type, PVOID data,
                             ULONG size);
NTSTATUS NTAPI NtQueryValueKey(HANDLE key, PUNICODE_STRING name, int informationClass, PVOID information,
                               ULONG length, PULONG resultLength);
}

namespace {

using korvalis::platform::win32::AnsiToWide;
using korvalis::platform::win32::UniqueKey;

constexpr int kKeyValuePartialInformation = 2;

UNICODE_STRING Counted(std::wstring& text) {
  UNICODE_STRING counted{};
  counted.Buffer = text.data();
  counted.Length = counted.MaximumLength = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  return counted;
}

int Run(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (!((command == "create" && argc == 6) || (command == "exists" && argc == 5))) {
    std::fprintf(stderr, "usage: korvalis_nulname create KEYPATH BEFORE AFTER DATA | exists KEYPATH BEFORE AFTER\n");
    return 2;
  }
  UniqueKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, argv[2], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot open HKCU\\%s\n", argv[2]);
    return 2;
  }
  std::wstring name = AnsiToWide(argv[3]) + L'\0' + AnsiToWide(argv[4]);
  UNICODE_STRING counted = Counted(name);
  NTSTATUS status = 0;
  if (command == "create") {
    std::wstring data = AnsiToWide(argv[5]) + L'\0';
    status = NtSetValueKey(key.get(), &counted, 0, REG_SZ, data.data(),
                           static_cast<ULONG>(data.size() * sizeof(wchar_t)));
    if (!NT_SUCCESS(status)) std::fprintf(stderr, "NtSetValueKey failed: 0x%08lx\n", static_cast<unsigned long>(status));
    return NT_SUCCESS(status) ? 0 : 2;
  }
  ULONG needed = 0;
  status = NtQueryValueKey(key.get(), &counted, kKeyValuePartialInformation, nullptr, 0, &needed);
  // A value that is there only asks for a bigger buffer; anything else is no answer at all.
  if (status == static_cast<NTSTATUS>(0xC0000023) || status == static_cast<NTSTATUS>(0x80000005)) return 0;
  if (status == static_cast<NTSTATUS>(0xC0000034)) return 1;
  std::fprintf(stderr, "NtQueryValueKey failed: 0x%08lx\n", static_cast<unsigned long>(status));
  return 2;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
