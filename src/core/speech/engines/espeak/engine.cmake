# eSpeak NG: Mandarin, US and British English.
target_sources(aurisona_core PRIVATE ${ENGINE_DIR}/espeak_engine.cpp)
pkg_check_modules(ESPEAK_NG REQUIRED IMPORTED_TARGET espeak-ng)
target_link_libraries(aurisona_core PRIVATE PkgConfig::ESPEAK_NG)
