# Voices from a command: voices/NAME.ini in the data directory. Nothing to link.
target_sources(aurisona_core PRIVATE ${ENGINE_DIR}/command_engine.cpp ${ENGINE_DIR}/command_voice.cpp)
