# Flite and its US English voices (Debian's flite1-dev ships no pkg-config file).
target_sources(aurisona_core PRIVATE ${ENGINE_DIR}/flite_engine.cpp)
find_path(FLITE_INCLUDE_DIR flite/flite.h REQUIRED)
foreach(lib flite_cmu_us_slt flite_cmu_us_rms flite_cmu_us_awb flite_usenglish flite_cmulex flite)
  find_library(FLITE_${lib} ${lib} REQUIRED)
  target_link_libraries(aurisona_core PRIVATE ${FLITE_${lib}})
endforeach()
target_include_directories(aurisona_core SYSTEM PRIVATE ${FLITE_INCLUDE_DIR})
