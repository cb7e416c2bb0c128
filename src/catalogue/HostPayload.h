#pragma once
// What one of Windows' script and library hosts is made to run: for "powershell -enc ...",
// "rundll32 x.dll,Entry" or "mshta http://..." the host's own signature says nothing about what
// the entry does, its payload does.
#include <cstddef>
#include <string>

namespace korvalis::catalogue {

enum class PayloadKind {
  None,      // not a host, or a host given nothing to run
  Script,    // a script file, inline code or a command
  Library,   // a library loaded and called
  Package,   // an installer package
  Download,  // a file fetched from the network
};

// Longer texts of the payload (a decoded command, the rest of a line) are cut to this, "..." ended.
constexpr std::size_t kPayloadTextAtMost = 2048;
// An encoded command is decoded only as far as this many bytes.
constexpr std::size_t kDecodedAtMost = 4096;

struct THostPayload {
  PayloadKind kind = PayloadKind::None;
  // The host's program file as the command names it, ".exe" added to a name without extension.
  std::string program;
  // The payload in words: "PowerShell command: ...", "C:\x\a.dll, entry point Start", a URL.
  std::string what;
  // The local file the host runs or loads, looked at instead of the host; empty for inline
  // code, a command or a URL.
  std::string file;
};

// The payload of a command that starts PowerShell (powershell, pwsh), cmd, wscript or cscript,
// mshta, rundll32, regsvr32, msiexec, certutil or bitsadmin, told by the program's file name
// (any letter case, with or without ".exe" and folder); a cmd /c that starts another host is
// that host's payload. Kind None for any other command.
THostPayload FindHostPayload(const std::string& command);

}  // namespace korvalis::catalogue
