#include "platform/win32/Win32FileInspector.h"

#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <vector>

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

// The verification's state, closed however the check ends.
class TrustCheck {
 public:
  explicit TrustCheck(const std::wstring& path) {
    file_.cbStruct = sizeof file_;
    file_.pcwszFilePath = path.c_str();
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    // No revocation lists and no certificates fetched: the answer must not wait on the network.
    data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    result_ = WinVerifyTrust(NoWindow(), &action_, &data_);
    lastError_ = GetLastError();
  }
  TrustCheck(const TrustCheck&) = delete;
  TrustCheck& operator=(const TrustCheck&) = delete;
  ~TrustCheck() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(NoWindow(), &action_, &data_);
  }

  LONG result() const { return result_; }
  DWORD lastError() const { return lastError_; }
  // The first signer, with the chain its certificate was verified along.
  CRYPT_PROVIDER_SGNR* Signer() const {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data_.hWVTStateData);
    return provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  }

 private:
  static HWND NoWindow() { return static_cast<HWND>(INVALID_HANDLE_VALUE); }

  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_{};
  WINTRUST_DATA data_{};
  LONG result_ = 0;
  DWORD lastError_ = 0;
};

// Wine's verdict passes a chain that ends in a root nobody trusts, or in no root at all; the
// chain policy asked directly does not, and on Windows it repeats what the verdict checked.
bool ChainTrusted(PCCERT_CHAIN_CONTEXT chain) {
  if (!chain || (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN)) return false;
  CERT_CHAIN_POLICY_PARA para{};
  para.cbSize = sizeof para;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain, &para, &status) &&
         status.dwError == 0;
}

std::string SignerName(PCCERT_CONTEXT certificate) {
  const DWORD length = CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length <= 1) return "";
  std::vector<wchar_t> name(length);
  CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length);
  return WideToAnsi(name.data(), length - 1);
}

void CheckSignature(const std::wstring& path, FileFacts& facts) {
  const TrustCheck check(path);
  const LONG result = check.result();
  if (result == ERROR_SUCCESS) {
    CRYPT_PROVIDER_SGNR* signer = check.Signer();
    CRYPT_PROVIDER_CERT* certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    if (certificate && ChainTrusted(signer->pChainContext)) {
      facts.signature = Signature::Valid;
      facts.signer = SignerName(certificate->pCert);
    } else {
      facts.signature = Signature::NotValid;
    }
    return;
  }
  const auto code = static_cast<DWORD>(result);
  const DWORD win32 = code <= 0xFFFF ? code : HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : 0;
  if (win32 == ERROR_ACCESS_DENIED || win32 == ERROR_SHARING_VIOLATION || win32 == ERROR_LOCK_VIOLATION) {
    facts.signature = Signature::NotChecked;
  } else if (code == static_cast<DWORD>(TRUST_E_NOSIGNATURE)) {
    // The verdict also says so of a signature it found and could not read; the last error tells.
    const DWORD why = check.lastError();
    const bool none = why == static_cast<DWORD>(TRUST_E_NOSIGNATURE) ||
                      why == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
                      why == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN);
    facts.signature = none ? Signature::None : Signature::NotValid;
  } else if (win32 != 0 || code == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
             code == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN)) {
    // No kind of signature the system knows for this file: Wine answers a script or a text
    // file with ERROR_INVALID_PARAMETER, Windows with TRUST_E_SUBJECT_FORM_UNKNOWN.
    facts.signature = Signature::None;
  } else {
    facts.signature = Signature::NotValid;
  }
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

FileFacts Win32FileInspector::Inspect(const std::string& path) {
  FileFacts facts;
  if (path.empty()) return facts;
  const std::wstring full = FullPath(AnsiToWide(path));
  if (IsNetworkPath(path) || IsNetworkPath(WideToAnsi(full.data(), full.size())) || OnNetworkDrive(full)) {
    facts.lookup = FileLookup::NotLookedUp;
    return facts;
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &attributes) ||
      (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return facts;
  facts.lookup = FileLookup::Found;
  const std::uint64_t size = (std::uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
  if (size <= kLargestFileChecked) CheckSignature(full, facts);
  ReadVersionInfo(full, facts);
  return facts;
}

}  // namespace korvalis::platform::win32
