#include "core/script/bundled_texts.h"

#include "core/util/text.h"

extern const unsigned char kBundledSampleUtf8[];
extern const unsigned char kBundledHelpUtf8[];

namespace aurisona {

const std::u16string& BundledSampleScript() {
  static const std::u16string text = Utf8ToUtf16(reinterpret_cast<const char*>(kBundledSampleUtf8));
  return text;
}

const std::u16string& BundledHelpText() {
  static const std::u16string text = Utf8ToUtf16(reinterpret_cast<const char*>(kBundledHelpUtf8));
  return text;
}

}  // namespace aurisona
