#include "catalogue/HostPayload.h"

#include <cctype>
#include <cstring>

#include "catalogue/CommandArguments.h"
#include "text/EncodedText.h"

namespace korvalis::catalogue {

namespace {

// cmd /c cmd /c ... is followed this deep, no deeper.
constexpr int kNestedAtMost = 4;
// An unquoted program path with blanks is tried over at most this many pieces.
constexpr int kPiecesAtMost = 16;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool BeginsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string BaseName(const std::string& path) {
  const auto separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool HasExtension(const std::string& path) { return BaseName(path).find('.') != std::string::npos; }

// "http://...", "https://...", "file://...": a scheme of two letters or more, then "://".
bool IsUrl(const std::string& text) {
  const auto colon = text.find("://");
  if (colon == std::string::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i)
    if (!std::isalpha(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// A file the host names is looked at only when it is not fetched from an address.
std::string LocalFile(const std::string& name) { return IsUrl(name) ? std::string() : name; }

// Cut at a character's first byte, so no UTF-8 character is cut in two.
std::string Bounded(std::string text) {
  if (text.size() <= kPayloadTextAtMost) return text;
  std::size_t cut = kPayloadTextAtMost;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text + "...";
}

// As cmd does: a leading quote goes, and so does the line's last quote.
std::string StripOuterQuotes(std::string text) {
  if (text.size() < 2 || text.front() != '"') return text;
  const auto last = text.rfind('"');
  if (last > 0) text.erase(last, 1);
  return text.substr(1);
}

// The name of a switch given with "/" or "-", in lower case; empty for another argument.
std::string SwitchOf(const std::string& argument) {
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::string();
  return Lower(argument.substr(1));
}

THostPayload Payload(PayloadKind kind, std::string what, std::string file = std::string()) {
  return THostPayload{kind, std::string(), std::move(what), std::move(file)};
}

// A host's reading of its arguments.
struct THostLine {
  TArguments arguments;
  int depth;
};

THostPayload FindPayload(const std::string& command, int depth);

}  // namespace

// PowerShell: its switches as it matches them, any prefix from the shortest it takes on, the
// first in this order winning ("-e" and "-en" are -EncodedCommand, "-ex" is -ExecutionPolicy).
namespace {

enum class Use { Flag, Value, Encoded, Command, File };

struct TSwitch {
  const char* name;
  std::size_t shortest;
  const char* alias;
  Use use;
};

constexpr TSwitch kPowerShellSwitches[] = {
    {"encodedcommand", 1, "ec", Use::Encoded},
    {"executionpolicy", 2, "ep", Use::Value},
    {"encodedarguments", 8, "ea", Use::Value},
    {"command", 1, nullptr, Use::Command},
    {"file", 1, nullptr, Use::File},
    {"windowstyle", 1, nullptr, Use::Value},
    {"workingdirectory", 2, "wd", Use::Value},
    {"version", 1, nullptr, Use::Value},
    {"inputformat", 3, "if", Use::Value},
    {"outputformat", 1, "of", Use::Value},
    {"configurationname", 6, nullptr, Use::Value},
    {"configurationfile", 7, nullptr, Use::Value},
    {"custompipename", 2, nullptr, Use::Value},
    {"psconsolefile", 3, nullptr, Use::Value},
    {"settingsfile", 8, nullptr, Use::Value},
    {"noprofile", 1, nullptr, Use::Flag},
    {"nologo", 1, nullptr, Use::Flag},
    {"noexit", 1, nullptr, Use::Flag},
    {"noninteractive", 1, nullptr, Use::Flag},
    {"noprofileloadtime", 1, nullptr, Use::Flag},
    {"sta", 1, nullptr, Use::Flag},
    {"mta", 1, nullptr, Use::Flag},
    {"help", 1, "?", Use::Flag},
    {"login", 1, nullptr, Use::Flag},
    {"interactive", 1, nullptr, Use::Flag},
    {"servermode", 1, nullptr, Use::Flag},
    {"socketservermode", 2, nullptr, Use::Flag},
    {"namedpipeservermode", 2, nullptr, Use::Flag},
    {"sshservermode", 2, nullptr, Use::Flag},
};

// The switch's name in lower case without what begins it: "-", "--", "/", or the dashes
// PowerShell takes for "-" (en dash, em dash, horizontal bar); empty for an argument that is none.
std::string PowerShellSwitchName(const std::string& argument) {
  static const char* const kStarts[] = {"--", "-", "/", "\xE2\x80\x93", "\xE2\x80\x94", "\xE2\x80\x95"};
  for (const char* start : kStarts)
    if (BeginsWith(argument, start) && argument.size() > std::strlen(start))
      return Lower(argument.substr(std::strlen(start)));
  return std::string();
}

const TSwitch* FindPowerShellSwitch(const std::string& name) {
  for (const TSwitch& known : kPowerShellSwitches) {
    const std::string full = known.name;
    if ((known.alias && name == known.alias) ||
        (name.size() >= known.shortest && name.size() <= full.size() && full.compare(0, name.size(), name) == 0))
      return &known;
  }
  return nullptr;
}

// PowerShell joins the arguments of its command with blanks.
std::string JoinFrom(const TArgument& first, TArguments& arguments) {
  std::string joined = first.text;
  TArgument next;
  while (joined.size() <= kPayloadTextAtMost && arguments.Next(next)) joined += " " + next.text;
  return joined;
}

THostPayload PowerShellCommand(const std::string& command) {
  return Payload(PayloadKind::Script, "PowerShell command: " + command);
}

THostPayload PowerShellFile(const std::string& script) {
  return Payload(PayloadKind::Script, script + " (PowerShell)", LocalFile(script));
}

THostPayload EncodedCommand(const std::string& encoded) {
  const auto decoded = text::DecodeBase64(encoded, kDecodedAtMost);
  if (!decoded) return Payload(PayloadKind::Script, "PowerShell encoded command, not valid base64: " + encoded);
  const std::string command = text::Utf16LeToUtf8(decoded->bytes);
  if (decoded->length <= decoded->bytes.size()) return PowerShellCommand(command);
  return Payload(PayloadKind::Script,
                 "PowerShell command of " + std::to_string(decoded->length / 2) + " characters: " + command);
}

// Whatever PowerShell does not take for a switch of its own begins the command (pwsh: names the
// script), so a switch unknown here shows all that follows.
THostPayload PowerShell(THostLine& host, bool core) {
  TArgument argument;
  while (host.arguments.Next(argument)) {
    const std::string name = PowerShellSwitchName(argument.text);
    const TSwitch* known = name.empty() ? nullptr : FindPowerShellSwitch(name);
    if (!known)
      return core && name.empty() ? PowerShellFile(argument.text) : PowerShellCommand(JoinFrom(argument, host.arguments));
    if (known->use == Use::Flag) continue;
    if (!host.arguments.Next(argument)) return THostPayload{};
    switch (known->use) {
      case Use::Encoded: return EncodedCommand(argument.text);
      case Use::Command: return PowerShellCommand(JoinFrom(argument, host.arguments));
      case Use::File: return PowerShellFile(argument.text);
      default: break;
    }
  }
  return THostPayload{};
}

THostPayload WindowsPowerShell(THostLine& host) { return PowerShell(host, false); }
THostPayload PowerShellCore(THostLine& host) { return PowerShell(host, true); }

}  // namespace

// The other hosts, each reading its arguments as it does itself.
namespace {

bool IsInlineScript(const std::string& argument) {
  const std::string start = Lower(argument.substr(0, 12));
  return BeginsWith(start, "javascript:") || BeginsWith(start, "vbscript:") || BeginsWith(start, "about:");
}

// A file cmd hands to its own or to Windows Script Host's interpreter.
bool IsScriptFile(const std::string& name) {
  static const char* const kExtensions[] = {".bat", ".cmd", ".vbs", ".vbe", ".js", ".jse", ".wsf"};
  const std::string lower = Lower(name);
  for (const char* extension : kExtensions)
    if (EndsWith(lower, extension)) return true;
  return false;
}

THostPayload CmdCommand(const std::string& command, int depth) {
  if (command.empty()) return THostPayload{};
  if (depth < kNestedAtMost) {
    THostPayload inner = FindPayload(command, depth + 1);
    if (inner.kind != PayloadKind::None) return inner;
  }
  TArguments words(command, 0);
  TArgument first;
  words.Next(first);
  return Payload(PayloadKind::Script, "cmd command: " + command, IsScriptFile(first.text) ? first.text : "");
}

// cmd runs the rest of the line after the first /c or /k, also one run into other switches ("/q/c").
THostPayload Cmd(THostLine& host) {
  TArgument argument;
  while (host.arguments.Next(argument)) {
    if (argument.text.empty() || argument.text[0] != '/') return THostPayload{};
    const std::string lower = Lower(argument.text);
    for (std::size_t i = 0; i + 1 < lower.size(); ++i)
      if (lower[i] == '/' && (lower[i + 1] == 'c' || lower[i + 1] == 'k'))
        return CmdCommand(StripOuterQuotes(host.arguments.From(argument.begin + i + 2)), host.depth);
  }
  return THostPayload{};
}

// Windows Script Host's own switches begin with "//"; the first other argument is the script.
THostPayload ScriptHost(THostLine& host, const char* name) {
  TArgument argument;
  while (host.arguments.Next(argument))
    if (!BeginsWith(argument.text, "//"))
      return Payload(PayloadKind::Script, argument.text + " (" + name + ")", LocalFile(argument.text));
  return THostPayload{};
}

THostPayload WScript(THostLine& host) { return ScriptHost(host, "wscript"); }
THostPayload CScript(THostLine& host) { return ScriptHost(host, "cscript"); }

THostPayload Mshta(THostLine& host) {
  TArgument argument;
  if (!host.arguments.Next(argument)) return THostPayload{};
  if (IsInlineScript(argument.text))
    return Payload(PayloadKind::Script,
                   "mshta inline script: " + StripOuterQuotes(host.arguments.From(argument.begin)));
  return Payload(PayloadKind::Script, argument.text + " (mshta)", LocalFile(argument.text));
}

// "rundll32 <library>,<entry point> <arguments>"; LoadLibrary adds ".dll" to a name without one.
THostPayload Rundll32(THostLine& host) {
  TArgument argument;
  if (!host.arguments.Next(argument)) return THostPayload{};
  if (IsInlineScript(argument.text))
    return Payload(PayloadKind::Script, "rundll32 inline script: " + host.arguments.From(argument.begin));
  std::string library = argument.text, entry;
  const auto comma = library.rfind(',');
  if (comma != std::string::npos) {
    entry = library.substr(comma + 1);
    library.resize(comma);
  } else if (host.arguments.Next(argument)) {
    entry = argument.text;
  }
  if (library.empty()) return THostPayload{};
  if (!HasExtension(library)) library += ".dll";
  const std::string with = host.arguments.Rest();
  return Payload(PayloadKind::Library,
                 library + (entry.empty() ? "" : ", entry point " + entry) + (with.empty() ? "" : ", with " + with),
                 LocalFile(library));
}

// "regsvr32 [/s] [/u] [/n] [/i[:<line>]] <library>"; scrobj.dll with /i:<scriptlet> runs the scriptlet.
THostPayload Regsvr32(THostLine& host) {
  std::string library, shownSwitches, scriptlet;
  TArgument argument;
  while (host.arguments.Next(argument)) {
    const std::string name = SwitchOf(argument.text);
    if (name.empty()) {
      if (library.empty()) library = argument.text;
    } else if (name[0] == 'i') {
      if (name.size() > 2 && name[1] == ':') scriptlet = argument.text.substr(3);
      shownSwitches += scriptlet.empty() ? " /i" : " /i:" + scriptlet;
    } else if (name == "u" || name == "n") {
      shownSwitches += " /" + name;
    }
  }
  if (library.empty()) return THostPayload{};
  const std::string base = Lower(BaseName(library));
  if (!scriptlet.empty() && (base == "scrobj.dll" || base == "scrobj"))
    return Payload(PayloadKind::Script, "scriptlet " + scriptlet + " (regsvr32)", LocalFile(scriptlet));
  return Payload(PayloadKind::Library, library + " (regsvr32" + shownSwitches + ")", LocalFile(library));
}

THostPayload Msiexec(THostLine& host) {
  TArgument argument;
  while (host.arguments.Next(argument)) {
    const std::string name = SwitchOf(argument.text);
    const bool installs = name == "i" || name == "package", registers = name == "y" || name == "z";
    if (!installs && !registers) continue;
    if (!host.arguments.Next(argument)) return THostPayload{};
    if (installs) return Payload(PayloadKind::Package, argument.text + " (msiexec)", LocalFile(argument.text));
    return Payload(PayloadKind::Library, argument.text + " (msiexec /" + name + ")", LocalFile(argument.text));
  }
  return THostPayload{};
}

THostPayload Download(const std::string& address, const std::string& target, const char* host) {
  return Payload(PayloadKind::Download, address + (target.empty() ? "" : " to " + target) + " (" + host + ")");
}

// "certutil -urlcache [-split] [-f] <URL> [<file>]", and -verifyctl, which fetches as well.
THostPayload Certutil(THostLine& host) {
  bool fetches = false;
  std::string names[2];
  std::size_t named = 0;
  TArgument argument;
  while (host.arguments.Next(argument)) {
    const std::string name = SwitchOf(argument.text);
    if (name == "urlcache" || name == "verifyctl") fetches = true;
    if (name.empty() && named < 2) names[named++] = argument.text;
  }
  if (!fetches || !IsUrl(names[0])) return THostPayload{};
  return Download(names[0], names[1], "certutil");
}

// "bitsadmin /transfer <job> [/download|/upload] [/priority <p>] <URL> <file>", and
// "/addfile <job> <URL> <file>".
THostPayload BitsTransfer(THostLine& host) {
  TArgument argument;
  if (!host.arguments.Next(argument)) return THostPayload{};  // the job's name
  while (host.arguments.Next(argument)) {
    const std::string name = SwitchOf(argument.text);
    if (name == "priority") host.arguments.Next(argument);
    if (!name.empty()) continue;
    const std::string address = argument.text;
    return Download(address, host.arguments.Next(argument) ? argument.text : "", "bitsadmin");
  }
  return THostPayload{};
}

// A job's notify command runs whatever program it names once its transfer ends.
THostPayload BitsNotifyCommand(THostLine& host) {
  TArgument argument;
  if (!host.arguments.Next(argument) || !host.arguments.Next(argument)) return THostPayload{};
  const std::string program = argument.text;
  std::string line = program;
  if (host.arguments.Next(argument) && Lower(argument.text) != "null") line += " " + argument.text;
  return Payload(PayloadKind::Script, line + ", once a transfer ends (bitsadmin)", LocalFile(program));
}

THostPayload Bitsadmin(THostLine& host) {
  TArgument argument;
  while (host.arguments.Next(argument)) {
    const std::string name = SwitchOf(argument.text);
    if (name == "transfer" || name == "addfile") return BitsTransfer(host);
    if (name == "setnotifycmdline") return BitsNotifyCommand(host);
  }
  return THostPayload{};
}

}  // namespace

namespace {

struct THost {
  const char* name;
  THostPayload (*read)(THostLine&);
};

constexpr THost kHosts[] = {
    {"powershell", WindowsPowerShell}, {"pwsh", PowerShellCore}, {"cmd", Cmd},           {"wscript", WScript},
    {"cscript", CScript},              {"mshta", Mshta},         {"rundll32", Rundll32}, {"regsvr32", Regsvr32},
    {"msiexec", Msiexec},              {"certutil", Certutil},   {"bitsadmin", Bitsadmin},
};

// The host a program path names by its file name, with or without ".exe", in any letter case.
const THost* HostNamed(const std::string& program) {
  std::string name = Lower(BaseName(program));
  if (EndsWith(name, ".exe")) name.resize(name.size() - 4);
  for (const THost& host : kHosts)
    if (name == host.name) return &host;
  return nullptr;
}

struct TProgram {
  std::string path;
  std::size_t argumentsFrom = 0;
};

// Windows tries an unquoted path with blanks piece by piece ("C:\Program Files\PowerShell\7\pwsh.exe
// -c ..."): the first run of pieces that names a host is the program, up to one that names
// another program or a piece that is a switch.
TProgram UnquotedProgram(const std::string& command, std::size_t start) {
  std::size_t end = command.find_first_of(" \t", start);
  const TProgram first{command.substr(start, end - start), end == std::string::npos ? command.size() : end};
  if (HostNamed(first.path) || first.path.find_first_of("\\/") == std::string::npos || HasExtension(first.path))
    return first;
  for (int pieces = 1; end != std::string::npos && pieces < kPiecesAtMost; ++pieces) {
    const std::size_t piece = command.find_first_not_of(" \t", end);
    if (piece == std::string::npos || command[piece] == '-' || command[piece] == '/') break;
    end = command.find_first_of(" \t", piece);
    const TProgram candidate{command.substr(start, end - start), end == std::string::npos ? command.size() : end};
    if (HostNamed(candidate.path)) return candidate;
    if (HasExtension(candidate.path)) break;
  }
  return first;
}

TProgram LeadingProgram(const std::string& command) {
  std::size_t start = 0;
  while (start < command.size() && IsBlank(command[start])) ++start;
  if (start >= command.size() || command[start] != '"') return UnquotedProgram(command, start);
  const auto closing = command.find('"', start + 1);
  if (closing == std::string::npos) return TProgram{command.substr(start + 1), command.size()};
  return TProgram{command.substr(start + 1, closing - start - 1), closing + 1};
}

THostPayload FindPayload(const std::string& command, int depth) {
  const TProgram program = LeadingProgram(command);
  const THost* host = HostNamed(program.path);
  if (!host) return THostPayload{};
  THostLine line{TArguments(command, program.argumentsFrom), depth};
  THostPayload payload = host->read(line);
  if (payload.kind == PayloadKind::None) return THostPayload{};
  if (payload.program.empty()) payload.program = HasExtension(program.path) ? program.path : program.path + ".exe";
  payload.what = Bounded(std::move(payload.what));
  return payload;
}

}  // namespace

THostPayload FindHostPayload(const std::string& command) { return FindPayload(command, 0); }

}  // namespace korvalis::catalogue
