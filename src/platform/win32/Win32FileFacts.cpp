#include "platform/win32/Win32FileFacts.h"

#include <windows.h>

#include <wincrypt.h>

// After the cryptography header, whose types it uses.
#include <mscat.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/CertificateTable.h"
#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

namespace korvalis::platform::win32 {

namespace {

// The full path, so that a relative name in a network folder is seen as one.
std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return full;
}

// A drive letter mapped to a share is as much a network path as the share's own name.
bool OnNetworkDrive(const std::wstring& full) {
  std::size_t letter = 0;
  if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0) letter = 4;
  if (full.size() < letter + 2 || full[letter + 1] != L':') return false;
  const wchar_t root[] = {full[letter], L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_REMOTE;
}

// The signature libraries, loaded by their full path in the system folder the first time a
// file's signature is checked, and kept: a process that never checks one never maps them, nor
// the hash providers they bring along.
struct SignatureApi {
  decltype(&::WinVerifyTrust) verifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) providerData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) signerFromChain = nullptr;
  decltype(&::WTHelperGetProvCertFromChain) certificateFromChain = nullptr;
  decltype(&::CryptCATAdminAcquireContext) acquireAdmin = nullptr;
  decltype(&::CryptCATAdminReleaseContext) releaseAdmin = nullptr;
  decltype(&::CryptCATAdminCalcHashFromFileHandle) hashFile = nullptr;
  decltype(&::CryptCATAdminEnumCatalogFromHash) catalogFromHash = nullptr;
  decltype(&::CryptCATAdminReleaseCatalogContext) releaseCatalog = nullptr;
  decltype(&::CryptCATCatalogInfoFromContext) catalogInfo = nullptr;
  // Windows 8 on: the SHA-256 forms of the catalog admin and its file hash.
  BOOL(WINAPI* acquireAdmin2)(HCATADMIN*, const GUID*, const WCHAR*, const CERT_STRONG_SIGN_PARA*, DWORD) = nullptr;
  BOOL(WINAPI* hashFile2)(HCATADMIN, HANDLE, DWORD*, BYTE*, DWORD) = nullptr;
  decltype(&::CertVerifyCertificateChainPolicy) chainPolicy = nullptr;
  decltype(&::CertGetNameStringW) nameString = nullptr;
  bool loaded = false;
};

HMODULE SystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

template <typename Function>
bool Bind(HMODULE module, const char* name, Function& function) {
  function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
  return function != nullptr;
}

const SignatureApi& Api() {
  static const SignatureApi api = [] {
    SignatureApi made;
    const HMODULE wintrust = SystemLibrary(L"wintrust.dll");
    const HMODULE crypt32 = SystemLibrary(L"crypt32.dll");
    made.loaded = Bind(wintrust, "WinVerifyTrust", made.verifyTrust) &&
                  Bind(wintrust, "WTHelperProvDataFromStateData", made.providerData) &&
                  Bind(wintrust, "WTHelperGetProvSignerFromChain", made.signerFromChain) &&
                  Bind(wintrust, "WTHelperGetProvCertFromChain", made.certificateFromChain) &&
                  Bind(wintrust, "CryptCATAdminAcquireContext", made.acquireAdmin) &&
                  Bind(wintrust, "CryptCATAdminReleaseContext", made.releaseAdmin) &&
                  Bind(wintrust, "CryptCATAdminCalcHashFromFileHandle", made.hashFile) &&
                  Bind(wintrust, "CryptCATAdminEnumCatalogFromHash", made.catalogFromHash) &&
                  Bind(wintrust, "CryptCATAdminReleaseCatalogContext", made.releaseCatalog) &&
                  Bind(wintrust, "CryptCATCatalogInfoFromContext", made.catalogInfo) &&
                  Bind(crypt32, "CertVerifyCertificateChainPolicy", made.chainPolicy) &&
                  Bind(crypt32, "CertGetNameStringW", made.nameString);
    if (!(Bind(wintrust, "CryptCATAdminAcquireContext2", made.acquireAdmin2) &&
          Bind(wintrust, "CryptCATAdminCalcHashFromFileHandle2", made.hashFile2)))
      made.acquireAdmin2 = nullptr, made.hashFile2 = nullptr;
    return made;
  }();
  return api;
}

// The verification's state, closed however the check ends: of a file's own signature, or of
// the catalog that lists the file's hash.
class TrustCheck {
 public:
  explicit TrustCheck(WINTRUST_FILE_INFO& file) {
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file;
    Verify();
  }
  explicit TrustCheck(WINTRUST_CATALOG_INFO& catalog) {
    data_.dwUnionChoice = WTD_CHOICE_CATALOG;
    data_.pCatalog = &catalog;
    Verify();
  }
  TrustCheck(const TrustCheck&) = delete;
  TrustCheck& operator=(const TrustCheck&) = delete;
  ~TrustCheck() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    Api().verifyTrust(NoWindow(), &action_, &data_);
  }

  LONG result() const { return result_; }
  DWORD lastError() const { return lastError_; }
  // The first signer, with the chain its certificate was verified along.
  CRYPT_PROVIDER_SGNR* Signer() const {
    CRYPT_PROVIDER_DATA* provider = Api().providerData(data_.hWVTStateData);
    return provider ? Api().signerFromChain(provider, 0, FALSE, 0) : nullptr;
  }

 private:
  static HWND NoWindow() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }
  void Verify() {
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    // Revocation from the cached lists alone, nothing fetched: the answer must not wait on the network.
    data_.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | WTD_CACHE_ONLY_URL_RETRIEVAL;
    result_ = Api().verifyTrust(NoWindow(), &action_, &data_);
    lastError_ = GetLastError();
  }

  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_DATA data_{};
  LONG result_ = 0;
  DWORD lastError_ = 0;
};

// Wine's verdict passes a chain that ends in a root nobody trusts, or in no root at all; the
// chain policy asked directly does not, and on Windows it repeats what the verdict checked.
// A revocation the cache cannot tell is said apart; a certificate revoked is not trusted.
bool ChainTrusted(PCCERT_CHAIN_CONTEXT chain) {
  if (!chain || (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN)) return false;
  CERT_CHAIN_POLICY_PARA para{};
  para.cbSize = sizeof para;
  para.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return Api().chainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain, &para, &status) &&
         status.dwError == 0;
}

std::string SignerName(PCCERT_CONTEXT certificate) {
  const DWORD length = Api().nameString(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length <= 1) return "";
  std::vector<wchar_t> name(length);
  Api().nameString(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length);
  return WideToAnsi(name.data(), length - 1);
}

// Every certificate below the root looked up in the cached lists and found there: a chain built
// without looking (as Wine's is) says nothing of revocation.
bool RevocationChecked(PCCERT_CHAIN_CONTEXT chain) {
  const DWORD unknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  if ((chain->TrustStatus.dwErrorStatus & unknown) || chain->cChain == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  if (simple->cElement < 2) return false;
  for (DWORD i = 0; i + 1 < simple->cElement; ++i) {
    const CERT_REVOCATION_INFO* info = simple->rgpElement[i]->pRevocationInfo;
    if (!info || info->dwRevocationResult != ERROR_SUCCESS) return false;
  }
  return true;
}

Signature Verdict(const TrustCheck& check, FileFacts& facts) {
  const LONG result = check.result();
  // The revocation lists the cache does not hold leave a signature otherwise whole.
  if (result == ERROR_SUCCESS || result == CERT_E_REVOCATION_FAILURE) {
    CRYPT_PROVIDER_SGNR* signer = check.Signer();
    CRYPT_PROVIDER_CERT* certificate = signer ? Api().certificateFromChain(signer, 0) : nullptr;
    if (!certificate || !ChainTrusted(signer->pChainContext)) return Signature::NotValid;
    facts.signer = SignerName(certificate->pCert);
    facts.revocationChecked = result == ERROR_SUCCESS && RevocationChecked(signer->pChainContext);
    return Signature::Valid;
  }
  const auto code = static_cast<DWORD>(result);
  const DWORD win32 = code <= 0xFFFF ? code : HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : 0;
  if (win32 == ERROR_ACCESS_DENIED || win32 == ERROR_SHARING_VIOLATION || win32 == ERROR_LOCK_VIOLATION)
    return Signature::NotChecked;
  if (code == static_cast<DWORD>(TRUST_E_NOSIGNATURE)) {
    // The verdict also says so of a signature it found and could not read; the last error tells.
    const DWORD why = check.lastError();
    const bool none = why == static_cast<DWORD>(TRUST_E_NOSIGNATURE) ||
                      why == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
                      why == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN);
    return none ? Signature::None : Signature::NotValid;
  }
  // No kind of signature the system knows for this file: Wine answers a script or a text file
  // with ERROR_INVALID_PARAMETER, Windows with TRUST_E_SUBJECT_FORM_UNKNOWN.
  if (win32 != 0 || code == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
      code == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN))
    return Signature::None;
  return Signature::NotValid;
}

void CloseCatalogAdmin(HCATADMIN admin) { Api().releaseAdmin(admin, 0); }
using UniqueCatalogAdmin = UniqueHandle<NullTraits<HCATADMIN, CloseCatalogAdmin>>;

// The Windows 8 form of the catalog member, whose admin context tells the verdict which hash
// was taken; older systems read only the part before it.
struct CatalogMember {
  WINTRUST_CATALOG_INFO info;
  HCATADMIN admin;
};
static_assert(sizeof(WINTRUST_CATALOG_INFO) % alignof(HCATADMIN) == 0, "the admin context follows without a gap");

// The first catalog that lists the hash, released with the admin context's help.
struct CatalogOfHash {
  CatalogOfHash(HCATADMIN admin, std::vector<BYTE>& hash)
      : admin(admin), info(Api().catalogFromHash(admin, hash.data(), static_cast<DWORD>(hash.size()), 0, nullptr)) {}
  ~CatalogOfHash() {
    if (info) Api().releaseCatalog(admin, info, 0);
  }
  CatalogOfHash(const CatalogOfHash&) = delete;
  CatalogOfHash& operator=(const CatalogOfHash&) = delete;
  HCATADMIN admin;
  HCATINFO info;
};

// A catalog names its members by their hash in upper-case hex digits.
std::wstring HexTag(const std::vector<BYTE>& hash) {
  std::wstring tag;
  for (BYTE b : hash) {
    wchar_t digits[3] = {};
    std::swprintf(digits, 3, L"%02X", b);
    tag += digits;
  }
  return tag;
}

// Windows' own programs carry no signature of their own: the system signed catalogs that
// list their hashes. SHA-256 where the system can take it (Windows 8 on), else SHA-1.
Signature CatalogVerdict(const std::wstring& path, FileFacts& facts) {
  const SignatureApi& api = Api();
  const bool sha256 = api.acquireAdmin2 != nullptr;

  GUID driverAction = DRIVER_ACTION_VERIFY;
  UniqueCatalogAdmin admin;
  if (!(sha256 ? api.acquireAdmin2(admin.put(), &driverAction, BCRYPT_SHA256_ALGORITHM, nullptr, 0)
               : api.acquireAdmin(admin.put(), &driverAction, 0)))
    return Signature::None;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return Signature::None;
  std::vector<BYTE> hash(64);
  auto size = static_cast<DWORD>(hash.size());
  if (!(sha256 ? api.hashFile2(admin.get(), file.get(), &size, hash.data(), 0)
               : api.hashFile(file.get(), &size, hash.data(), 0)) ||
      size > hash.size())
    return Signature::None;
  hash.resize(size);

  const CatalogOfHash catalog(admin.get(), hash);
  if (!catalog.info) return Signature::None;
  CATALOG_INFO catalogFile{};
  catalogFile.cbStruct = sizeof catalogFile;
  Signature verdict = Signature::NotValid;
  if (api.catalogInfo(catalog.info, &catalogFile, 0)) {
    const std::wstring tag = HexTag(hash);
    CatalogMember member{};
    member.info.cbStruct = sha256 ? sizeof member : sizeof member.info;
    member.info.pcwszCatalogFilePath = catalogFile.wszCatalogFile;
    member.info.pcwszMemberTag = tag.c_str();
    member.info.pcwszMemberFilePath = path.c_str();
    member.info.hMemberFile = file.get();
    member.info.pbCalculatedFileHash = hash.data();
    member.info.cbCalculatedFileHash = size;
    member.admin = admin.get();
    const TrustCheck check(member.info);
    verdict = Verdict(check, facts);
  }
  return verdict;
}

CertificateTable CertificateTableOf(const std::wstring& path, std::uint64_t size) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return CertificateTable::None;
  return ReadCertificateTable(size, [&](std::uint64_t offset, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(count), &read, &at)) read = 0;
    bytes.resize(read);
    return bytes;
  });
}

void CheckSignature(const std::wstring& path, std::uint64_t size, FileFacts& facts) {
  if (!Api().loaded) return;  // not checked
  // The verdict calls some broken tables no signature at all.
  const CertificateTable table = CertificateTableOf(path, size);
  if (table == CertificateTable::Corrupt) {
    facts.signature = Signature::NotValid;
    return;
  }
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  {
    const TrustCheck check(file);
    facts.signature = Verdict(check, facts);
  }
  if (facts.signature != Signature::None) return;
  // A table of its own that holds no readable signature is not made good by a catalog.
  facts.signature = table == CertificateTable::Present ? Signature::NotValid : CatalogVerdict(path, facts);
}

std::string VersionString(std::vector<BYTE>& block, const wchar_t* language, const wchar_t* name) {
  const std::wstring query = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "";
  std::size_t size = 0;
  while (size < length && value[size] != L'\0') ++size;
  return WideToAnsi(value, size);
}

void ReadVersionInfo(const std::wstring& path, FileFacts& facts) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return;
  struct Translation {
    WORD language, codePage;
  };
  Translation* translations = nullptr;
  UINT bytes = 0;
  std::vector<std::wstring> languages;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &bytes) &&
      translations) {
    for (UINT i = 0; i < bytes / sizeof(Translation); ++i) {
      wchar_t language[9] = {};
      std::swprintf(language, 9, L"%04x%04x", translations[i].language, translations[i].codePage);
      languages.push_back(language);
    }
  }
  languages.push_back(L"040904b0");  // US English in Unicode, for files that list no translation
  for (const auto& language : languages) {
    facts.company = VersionString(block, language.c_str(), L"CompanyName");
    facts.product = VersionString(block, language.c_str(), L"ProductName");
    if (!facts.company.empty() || !facts.product.empty()) return;
  }
}

}  // namespace

bool Win32FileInspector::IsRemote(const std::string& path) {
  if (NeverInspected(path)) return true;
  if (path.empty()) return false;
  const std::wstring full = FullPath(AnsiToWide(path));
  return NeverInspected(WideToAnsi(full.data(), full.size())) || OnNetworkDrive(full);
}

FileFacts Win32FileInspector::Inspect(const std::string& path) {
  FileFacts facts;
  if (path.empty()) return facts;
  if (IsRemote(path)) {
    facts.lookup = UntouchedLookup(path);
    return facts;
  }
  const std::wstring full = FullPath(AnsiToWide(path));
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &attributes) ||
      (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return facts;
  facts.lookup = FileLookup::Found;
  const std::uint64_t size = (std::uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
  if (size <= kLargestFileChecked) CheckSignature(full, size, facts);
  ReadVersionInfo(full, facts);
  return facts;
}

}  // namespace korvalis::platform::win32
