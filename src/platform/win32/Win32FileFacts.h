#pragma once
#include "platform/FileFacts.h"

namespace korvalis::platform::win32 {

// The signature as WinVerifyTrust judges it, the version information as the file's resources
// hold it.
class Win32FileInspector : public FileInspector {
 public:
  FileFacts Inspect(const std::string& path) override;
  bool IsRemote(const std::string& path) override;
};

}  // namespace korvalis::platform::win32
