#pragma once
// Files inspected by a process of this program's own, started with kInspectSwitch: the
// resident never maps the system's signature libraries and the hash providers they bring,
// which the helper holds only while a batch of reads lasts. For reads no one waits for.
#include <memory>
#include <string>

#include "platform/FileFacts.h"
#include "platform/win32/Win32FileFacts.h"

namespace korvalis::platform::win32 {

// The helper reads one hex path a line from its input and answers each with FactsLine.
constexpr const char* kInspectSwitch = "/inspect-files";

// The helper's side: answers on its standard output until its input ends; the exit code.
int ServeInspections(FileInspector& inspector);

class Win32HelperInspector final : public FileInspector {
 public:
  // program: the program file to start as the helper.
  explicit Win32HelperInspector(std::wstring program);
  ~Win32HelperInspector() override;
  Win32HelperInspector(const Win32HelperInspector&) = delete;
  Win32HelperInspector& operator=(const Win32HelperInspector&) = delete;

  // Facts that say nothing (not found) when no helper starts or answers in time.
  FileFacts Inspect(const std::string& path) override;
  bool IsRemote(const std::string& path) override { return local_.IsRemote(path); }
  // Ends the helpers no read uses now.
  void Rest() override;

  // A helper that takes longer over one file is ended.
  static constexpr unsigned kAnswerWithinMs = 15000;

 private:
  struct Shared;
  Win32FileInspector local_;  // for IsRemote alone, which touches no file
  // Shared with each read under way, which may outlive this object on a thread given up.
  std::shared_ptr<Shared> shared_;
};

}  // namespace korvalis::platform::win32
