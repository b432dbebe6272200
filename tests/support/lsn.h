// Listening documents (.lsn) built byte by byte: "lsn\x01", media records, and
// the script text's record.
#pragma once

#include <cstdint>
#include <string>

namespace aurisona::testing {

// Four bytes, little-endian.
std::string Le32(uint32_t v);
// A media record (2: music, 3: recording) with its CRC-32 and play time.
std::string LsnMedia(uint32_t kind, const std::u16string& name, const std::string& content, uint32_t playTime = 0);
// The text record: UTF-16LE with its terminating zero.
std::string LsnText(const std::u16string& text);
// A whole document: the records, then the text.
std::string Lsn(const std::string& records, const std::u16string& text);

}  // namespace aurisona::testing
