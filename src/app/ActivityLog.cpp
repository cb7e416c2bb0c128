#include "app/ActivityLog.h"

#include <ctime>

#include "text/Fileman.h"
#include "text/VisibleText.h"

namespace korvalis::app {

TActivityLog::TActivityLog(const platform::Platform& platform, Clock clock, std::size_t limit)
    : platform_(platform), clock_(std::move(clock)), limit_(limit) {}

std::string TActivityLog::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  return stamp;
}

std::string TActivityLog::Path() const {
  const std::string base = platform_.environment.LocalAppDataFolder();
  return base.empty() ? std::string() : text::JoinPath(text::JoinPath(base, "Korvalis"), "korvalis.log");
}

void TActivityLog::Write(const std::string& line) noexcept {
  try {
    const std::string path = Path();
    if (path.empty() || !platform_.files.CreateFolders(text::FileDir(path))) return;
    // A value's name may hold a NUL or a line break: one decision stays one readable line.
    const std::string entry = clock_() + " " + text::VisibleText(line) + "\r\n";
    std::vector<std::uint8_t> bytes;
    if (!size_) {
      platform_.files.ReadFile(path, bytes);
      size_ = bytes.size();
    }
    // Each line is appended; the file is read and written whole only when it outgrows the limit.
    if (*size_ + entry.size() <= limit_) {
      const bool appended = platform_.files.AppendFile(path, std::vector<std::uint8_t>(entry.begin(), entry.end()));
      if (appended)
        *size_ += entry.size();
      else
        size_.reset();
      return;
    }
    size_.reset();
    if (!platform_.files.ReadFile(path, bytes)) bytes.clear();
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    if (bytes.size() > limit_) {
      // Keep the newer half, starting at a line.
      std::size_t cut = bytes.size() - limit_ / 2;
      while (cut < bytes.size() && bytes[cut - 1] != '\n') ++cut;
      bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    }
    if (platform_.files.WriteFile(path, bytes)) size_ = bytes.size();
  } catch (...) {
  }
}

}  // namespace korvalis::app
