# eSpeak NG: Mandarin, US and British English.
pkg_check_modules(ESPEAK_NG REQUIRED IMPORTED_TARGET espeak-ng)
target_link_libraries(aurisona_core PRIVATE PkgConfig::ESPEAK_NG)
