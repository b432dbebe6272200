// Texts that ship inside the program, in tagged text.
#pragma once

#include <string>

namespace aurisona {

// The demonstration script: a two-part listening exam using every control tag.
const std::u16string& BundledSampleScript();

// The help text: how to use the program and what every control mark does.
const std::u16string& BundledHelpText();

}  // namespace aurisona
