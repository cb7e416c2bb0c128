#pragma once
// The program files signed at build time (tests/tools/sign-samples.sh), beside the test
// program, and the root the machine is made to trust for them, as a user's machine trusts its
// authorities.
#include <windows.h>

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvalis::testing {

inline std::string TestProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\'));
}

// trusted.exe, untrusted.exe and root.der; the unsigned original is korvalis_probe.exe.
inline std::string SignedSample(const std::string& name) { return TestProgramFolder() + "\\signatures\\" + name; }
inline std::string UnsignedSample() { return TestProgramFolder() + "\\korvalis_probe.exe"; }

// A sample copied where an installer would have put it, so that a screenshot shows what a user
// would see; the path it was copied to.
inline std::string InstalledSample(const std::string& sample, const std::string& path) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CopyFileA(sample.c_str(), path.c_str(), FALSE);
  return path;
}

inline std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Puts the samples' root into the machine's store of trusted roots; false when it is missing.
inline bool TrustSamplesRoot() {
  const std::vector<char> root = FileBytes(SignedSample("root.der"));
  if (root.empty()) return false;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) return false;
  const bool added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                      reinterpret_cast<const BYTE*>(root.data()),
                                                      static_cast<DWORD>(root.size()),
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added;
}

}  // namespace korvalis::testing
