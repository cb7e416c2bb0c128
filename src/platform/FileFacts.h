#pragma once
// What a program file tells the user who must decide about it: whether it is there, who
// signed it, and whose product its version information names.
#include <cstdint>
#include <optional>
#include <string>

namespace korvalis::platform {

enum class FileLookup {
  NotLookedUp,  // a network path: reading it could hang the question, and it can change meanwhile
  LocalPipe,    // a named pipe of this machine: its other end chooses what a read gets, and when
  Device,       // elsewhere in the system's namespaces: a device, a volume by its name
  NotFound,
  Found,
};

enum class Signature {
  NotChecked,  // too large to hash while the user waits, or the file could not be read
  None,
  Valid,       // the hash matches and the chain ends in a root the machine trusts
  NotValid,    // altered after signing, an untrusted or distrusted chain, a broken signature
};

struct FileFacts {
  FileLookup lookup = FileLookup::NotFound;
  Signature signature = Signature::NotChecked;
  std::string signer;  // the signing certificate's name, for a valid signature only
  std::string company, product;  // from the version information; empty when it names none
  // For a valid signature: the cached revocation lists vouch for every certificate of its chain
  // (none is fetched while the user waits).
  bool revocationChecked = false;
};

// Files larger than this are not hashed for their signature.
constexpr std::uint64_t kLargestFileChecked = 256ull * 1024 * 1024;

// A path on the network (text::IsNetworkPath) or in the device namespace: never touched.
bool NeverInspected(const std::string& path);
// What the lookup of a path never touched found: on the network (a mapped drive letter too), a
// local pipe or a device.
FileLookup UntouchedLookup(const std::string& path);

// What a process of its own is asked, a path, and what it answers, the facts: each one line of
// text (without its line end), and back; nothing for a line that is not one, or an answer
// longer than kLongestFactsLine.
std::string PathLine(const std::string& path);
std::optional<std::string> PathOfLine(const std::string& line);
std::string FactsLine(const FileFacts& facts);
std::optional<FileFacts> FactsOfLine(const std::string& line);
constexpr std::size_t kLongestFactsLine = 64 * 1024;

class FileInspector {
 public:
  virtual ~FileInspector() = default;
  // Reads the file once, without any user interface and without going to the network for
  // revocation lists; an empty path is a file not found.
  virtual FileFacts Inspect(const std::string& path) = 0;
  // A path never to be touched: one NeverInspected names, or one that lies, once made absolute,
  // on a drive letter mapped to a share. Asking does not touch the file.
  virtual bool IsRemote(const std::string& path) = 0;
  // The reads are done for now: what they hold (a process of their own) may go.
  virtual void Rest() {}
};

}  // namespace korvalis::platform
