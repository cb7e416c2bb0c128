#include "dialogs/InfoLinks.h"

#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::dialogs {

const char* const kOnlineInfoBase = "https://korvalis.example/";

std::string PercentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
    if (unreserved) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

std::string OnlineInfoAddress(const std::string& command, const std::string& name) {
  return std::string(kOnlineInfoBase) + "search.php?filename=" + PercentEncode(text::FileNamePart(command)) +
         "&title=" + PercentEncode(name);
}

std::string LocateFolderArgument(const std::string& command) {
  const std::string folder = text::ReplaceAll(text::FileDir(command), "\"", "");
  if (folder.empty()) return std::string();
  // A root such as C: needs its backslash to name the root rather than the drive's current folder.
  const std::string shown = folder.back() == ':' ? folder + "\\" : folder;
  return "\"" + shown + "\"";
}

}  // namespace korvalis::dialogs
