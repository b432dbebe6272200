#include "support/lsn.h"

#include <zlib.h>

#include "core/util/text.h"

namespace aurisona::testing {

std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

std::string LsnMedia(uint32_t kind, const std::u16string& name, const std::string& content, uint32_t playTime) {
  const auto crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(content.data()), uInt(content.size())));
  return Le32(kind) + Le32(crc) + Le32(uint32_t(2 * name.size() + 2)) + ToUtf16Le(name) + std::string(2, '\0') +
         Le32(playTime) + Le32(uint32_t(content.size())) + content;
}

std::string LsnText(const std::u16string& text) {
  return Le32(0) + Le32(uint32_t(2 * text.size() + 2)) + ToUtf16Le(text) + std::string(2, '\0');
}

std::string Lsn(const std::string& records, const std::u16string& text) {
  return std::string("lsn\x01", 4) + records + LsnText(text);
}

}  // namespace aurisona::testing
