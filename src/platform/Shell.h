#pragma once
// The Windows shell: special folders, its link object, starting programs and documents.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/SystemCodes.h"

namespace korvalis::platform {

using WindowHandle = std::uintptr_t;

// The shell's link object with its file interface, one call per method of the system's.
class ShellLinkObject {
 public:
  virtual ~ShellLinkObject() = default;
  virtual HResult Load(const std::string& path) = 0;
  virtual HResult Save(const std::string& path) = 0;
  virtual HResult Resolve(std::uint32_t flags) = 0;
  virtual HResult GetWorkingDirectory(std::string& value) = 0;
  virtual HResult GetPath(std::string& value, std::uint32_t flags) = 0;
  virtual HResult GetIconLocation(std::string& path, int& index) = 0;
  virtual HResult GetDescription(std::string& value) = 0;
  virtual HResult GetShowCmd(int& value) = 0;
  virtual HResult GetHotkey(std::uint16_t& value) = 0;
  virtual HResult GetArguments(std::string& value) = 0;
  virtual HResult SetPath(const std::string& value) = 0;
  virtual HResult SetWorkingDirectory(const std::string& value) = 0;
  virtual HResult SetArguments(const std::string& value) = 0;
  virtual HResult SetDescription(const std::string& value) = 0;
  virtual HResult SetShowCmd(int value) = 0;
  virtual HResult SetHotkey(std::uint16_t value) = 0;
  virtual HResult SetIconLocation(const std::string& path, int index) = 0;
};

struct CreatedLink {
  HResult result = kE_FAIL;
  std::unique_ptr<ShellLinkObject> link;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // The folder's file-system path; empty when the shell cannot name it.
  virtual std::string SpecialFolderPath(int csidl, WindowHandle owner) = 0;
  // Where the folder is, or would be made, also while it does not exist; empty when unknown.
  virtual std::string SpecialFolderPathEvenIfMissing(int csidl) = 0;
  virtual CreatedLink CreateShellLink(bool inProcessOnly) = 0;
  // Starts a program or opens a document; the system's result (above 32 is success).
  virtual std::intptr_t Execute(WindowHandle parent, const std::string& verb, const std::string& file,
                                const std::string& parameters, const std::string& folder, int showCommand) = 0;
};

}  // namespace korvalis::platform
