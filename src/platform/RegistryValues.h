#pragma once
// Reading and writing registry values without trusting what the registry holds.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace korvalis::platform {

// The path as the platform takes it: one leading backslash means "from the root".
std::string PathFromRoot(const std::string& path);

// The value's bytes exactly as returned, retrying a few times when the value grows between
// the size query and the read. kErrorFileNotFound when it is not there (any more).
Status ReadValueBytes(RegistryKey& key, const std::string& name, std::uint32_t& type,
                      std::vector<std::uint8_t>& bytes);

bool IsStringType(std::uint32_t type);

// A string value's text: the bytes up to the first NUL, or all of them when there is none.
std::string TextOfBytes(const std::vector<std::uint8_t>& bytes);

// Deletes a value, never creating its key. True when the value is gone afterwards (also when
// it or its key was not there); false when the key refused, or when the key still lists the
// value that the deletion reported missing.
bool DeleteValueIfPresent(Registry& registry, RootKey root, const std::string& path, const std::string& name,
                          RegistryView view = RegistryView::Native);
// The same, with the reason of a failure: the key's refusal (kErrorAccessDenied for lack of
// rights), or kErrorFileNotFound for a value the key still lists.
Status DeleteValueIfThere(Registry& registry, RootKey root, const std::string& path, const std::string& name,
                          RegistryView view = RegistryView::Native);

// REG_SZ data: the text and its terminating NUL.
std::vector<std::uint8_t> StringBytes(const std::string& text);
// REG_DWORD data: four bytes, the lowest first.
std::vector<std::uint8_t> DwordBytes(std::uint32_t value);

}  // namespace korvalis::platform
