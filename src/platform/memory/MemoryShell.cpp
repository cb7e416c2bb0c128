#include "platform/memory/MemoryShell.h"

#include <cstring>

namespace korvalis::platform::memory {

namespace {

constexpr char kMagic[] = "KORVALIS-MEMORY-LINK\n";

void PutField(std::string& out, const std::string& value) {
  out += std::to_string(value.size());
  out += ':';
  out += value;
}

bool TakeField(const std::string& in, std::size_t& at, std::string& value) {
  const auto colon = in.find(':', at);
  if (colon == std::string::npos || colon == at || colon - at > 9) return false;
  std::size_t length = 0;
  for (std::size_t i = at; i < colon; ++i) {
    if (in[i] < '0' || in[i] > '9') return false;
    length = length * 10 + static_cast<std::size_t>(in[i] - '0');
  }
  if (colon + 1 + length > in.size()) return false;
  value = in.substr(colon + 1, length);
  at = colon + 1 + length;
  return true;
}

class MemoryLink : public ShellLinkObject {
 public:
  explicit MemoryLink(MemoryShell& shell) : shell_(shell) {}

  HResult Load(const std::string& path) override {
    if (HResult failed = shell_.Failure("Load")) return failed;
    std::vector<std::uint8_t> bytes;
    if (!shell_.files.ReadFile(path, bytes)) return kHResultFileNotFound;
    LinkFields fields;
    if (!MemoryShell::Decode(bytes, fields)) return kE_FAIL;
    fields_ = fields;
    return kS_OK;
  }
  HResult Save(const std::string& path) override {
    if (HResult failed = shell_.Failure("Save")) return failed;
    return shell_.files.WriteFile(path, MemoryShell::Encode(fields_)) ? kS_OK : kHResultPathNotFound;
  }
  HResult Resolve(std::uint32_t) override { return shell_.Failure("Resolve"); }
  HResult GetWorkingDirectory(std::string& value) override { return Get("GetWorkingDirectory", fields_.workingDirectory, value); }
  HResult GetPath(std::string& value, std::uint32_t) override { return Get("GetPath", fields_.path, value); }
  HResult GetIconLocation(std::string& path, int& index) override {
    if (HResult failed = shell_.Failure("GetIconLocation")) return failed;
    path = fields_.iconPath;
    index = fields_.iconIndex;
    return kS_OK;
  }
  HResult GetDescription(std::string& value) override { return Get("GetDescription", fields_.description, value); }
  HResult GetShowCmd(int& value) override {
    if (HResult failed = shell_.Failure("GetShowCmd")) return failed;
    value = fields_.showCommand;
    return kS_OK;
  }
  HResult GetHotkey(std::uint16_t& value) override {
    if (HResult failed = shell_.Failure("GetHotkey")) return failed;
    value = fields_.hotkey;
    return kS_OK;
  }
  HResult GetArguments(std::string& value) override { return Get("GetArguments", fields_.arguments, value); }
  HResult SetPath(const std::string& value) override { return Set("SetPath", fields_.path, value); }
  HResult SetWorkingDirectory(const std::string& value) override {
    return Set("SetWorkingDirectory", fields_.workingDirectory, value);
  }
  HResult SetArguments(const std::string& value) override { return Set("SetArguments", fields_.arguments, value); }
  HResult SetDescription(const std::string& value) override {
    return Set("SetDescription", fields_.description, value);
  }
  HResult SetShowCmd(int value) override { return Set("SetShowCmd", fields_.showCommand, value); }
  HResult SetHotkey(std::uint16_t value) override { return Set("SetHotkey", fields_.hotkey, value); }
  HResult SetIconLocation(const std::string& path, int index) override {
    if (HResult failed = shell_.Failure("SetIconLocation")) return failed;
    fields_.iconPath = path;
    fields_.iconIndex = index;
    return kS_OK;
  }

 private:
  HResult Get(const char* call, const std::string& field, std::string& value) {
    if (HResult failed = shell_.Failure(call)) return failed;
    value = field;
    return kS_OK;
  }
  template <typename Field>
  HResult Set(const char* call, Field& field, const Field& value) {
    if (HResult failed = shell_.Failure(call)) return failed;
    field = value;
    return kS_OK;
  }

  MemoryShell& shell_;
  LinkFields fields_;
};

}  // namespace

MemoryShell::MemoryShell(MemoryFileSystem& fileSystem) : files(fileSystem) {
  folders_[kCsidlStartup] = "C:\\users\\alice\\Start Menu\\Programs\\Startup";
  folders_[kCsidlCommonStartup] = "C:\\ProgramData\\Start Menu\\Programs\\Startup";
  folders_[kCsidlCommonAppData] = "C:\\ProgramData";
  for (const auto& folder : folders_) files.AddFolder(folder.second);
}

std::string MemoryShell::SpecialFolderPath(int csidl, WindowHandle owner) {
  folderOwners[csidl] = owner;
  const std::string path = SpecialFolderPathEvenIfMissing(csidl);
  return files.Exists(path) ? path : std::string();
}

std::string MemoryShell::SpecialFolderPathEvenIfMissing(int csidl) {
  const auto it = folders_.find(csidl);
  return it == folders_.end() ? std::string() : it->second;
}

CreatedLink MemoryShell::CreateShellLink(bool) {
  CreatedLink created;
  created.result = linkCreation;
  if (linkCreation == kS_OK) created.link = std::make_unique<MemoryLink>(*this);
  return created;
}

std::intptr_t MemoryShell::Execute(WindowHandle parent, const std::string& verb, const std::string& file,
                                   const std::string& parameters, const std::string& folder, int showCommand) {
  executed.push_back(ExecutedCommand{parent, verb, file, parameters, folder, showCommand});
  return executeResult;
}

HResult MemoryShell::Failure(const std::string& call) const {
  const auto it = failing_.find(call);
  return it == failing_.end() ? kS_OK : it->second;
}

std::vector<std::uint8_t> MemoryShell::Encode(const LinkFields& fields) {
  std::string out = kMagic;
  for (const std::string* text : {&fields.path, &fields.workingDirectory, &fields.arguments, &fields.description,
                                  &fields.iconPath})
    PutField(out, *text);
  PutField(out, std::to_string(fields.iconIndex));
  PutField(out, std::to_string(fields.showCommand));
  PutField(out, std::to_string(fields.hotkey));
  return std::vector<std::uint8_t>(out.begin(), out.end());
}

bool MemoryShell::Decode(const std::vector<std::uint8_t>& bytes, LinkFields& fields) {
  const std::string in(bytes.begin(), bytes.end());
  const std::size_t magicLength = std::strlen(kMagic);
  if (in.compare(0, magicLength, kMagic) != 0) return false;
  std::size_t at = magicLength;
  LinkFields read;
  std::string number;
  for (std::string* text : {&read.path, &read.workingDirectory, &read.arguments, &read.description, &read.iconPath})
    if (!TakeField(in, at, *text)) return false;
  try {
    if (!TakeField(in, at, number)) return false;
    read.iconIndex = std::stoi(number);
    if (!TakeField(in, at, number)) return false;
    read.showCommand = std::stoi(number);
    if (!TakeField(in, at, number)) return false;
    read.hotkey = static_cast<std::uint16_t>(std::stoul(number));
  } catch (const std::exception&) {
    return false;
  }
  fields = read;
  return true;
}

}  // namespace korvalis::platform::memory
