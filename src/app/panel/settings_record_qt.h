// settings/settings_record.h for Qt code: SettingsRecord has a field named
// "slots", which Qt defines as a macro, so the header is read with the macro
// out of the way. Code that names the field itself uses SlotAt/VoiceSlotQuery.
#pragma once

#ifdef slots
#pragma push_macro("slots")
#undef slots
#include "settings/settings_record.h"
#pragma pop_macro("slots")
#else
#include "settings/settings_record.h"
#endif
