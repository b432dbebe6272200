// Texts that ship inside the program, in tagged text.
#pragma once

#include <string>

namespace aurisona {

// The demonstration script: a two-part listening exam using every control tag.
const std::u16string& BundledSampleScript();

}  // namespace aurisona
