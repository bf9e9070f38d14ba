// The password-protected zip archive inside a V file, built and read in
// memory with libzip (traditional PKWARE encryption, the library's default
// compression).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orvalink {

// An archive with the one entry `entryName` holding `payload`, encrypted
// with `password`. Fails (archive untouched) on any libzip error, or for an
// empty entry name.
bool PackEncryptedEntry(std::string_view entryName, std::string_view password, std::span<const uint8_t> payload,
                        std::vector<uint8_t>& archive);

// Extracts the entry of an archive that holds exactly one entry, named
// `entryName`. The entry's stated size must not exceed `maxLength`, and no
// more than maxLength + 1 bytes are ever inflated. Fails (payload untouched)
// on any libzip error, a wrong password, another entry count or name, or an
// entry that is or turns out longer than maxLength.
bool UnpackSingleEntry(std::span<const uint8_t> archive, std::string_view entryName, std::string_view password,
                       uint64_t maxLength, std::vector<uint8_t>& payload);

}  // namespace orvalink
