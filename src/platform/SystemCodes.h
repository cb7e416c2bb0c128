#pragma once
// The numbers of the Windows API that the portable code speaks in, so that the in-memory
// Windows answers exactly as the real one does.
#include <cstdint>

namespace korvalis::platform {

using Status = long;  // a Win32 error code
constexpr Status kSuccess = 0;
constexpr Status kErrorFileNotFound = 2;
constexpr Status kErrorPathNotFound = 3;
constexpr Status kErrorAccessDenied = 5;
constexpr Status kErrorInvalidData = 13;
constexpr Status kErrorInvalidParameter = 87;
constexpr Status kErrorOperationAborted = 995;  // a wait given up because the program is ending
constexpr Status kErrorInvalidName = 123;
constexpr Status kErrorAlreadyExists = 183;
constexpr Status kErrorInsufficientBuffer = 122;
constexpr Status kErrorMoreData = 234;
constexpr Status kErrorNoMoreItems = 259;
constexpr Status kErrorKeyDeleted = 1018;
constexpr Status kErrorServiceDoesNotExist = 1060;
constexpr Status kErrorServiceNotActive = 1062;
constexpr Status kErrorCancelled = 1223;  // the user declined

using HResult = std::int32_t;
constexpr HResult kS_OK = 0;
constexpr HResult kS_FALSE = 1;
constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult kE_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult kHResultFileNotFound = static_cast<HResult>(0x80070002u);
constexpr HResult kHResultPathNotFound = static_cast<HResult>(0x80070003u);
constexpr HResult kHResultAccessDenied = static_cast<HResult>(0x80070005u);

// Registry value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

// Registry limits.
constexpr std::uint32_t kMaxValueNameChars = 16383;

// File attributes.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;
constexpr std::uint32_t kAttrReparsePoint = 0x400;

// Shell folders.
constexpr int kCsidlStartup = 7;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlCommonAppData = 35;  // %ProgramData%, as the machine's settings name it

// Show commands.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShowMaximized = 3;
constexpr int kSwShowDefault = 10;

// Shell link flags.
constexpr std::uint32_t kSlrNoUi = 0x1;
constexpr std::uint32_t kSlrAnyMatch = 0x2;
constexpr std::uint32_t kSlgpUncPriority = 0x2;

constexpr std::uint32_t kVerPlatformWin32Nt = 2;

}  // namespace korvalis::platform
