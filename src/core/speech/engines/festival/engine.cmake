# Festival (a static library over the Edinburgh Speech Tools) and its HTS US English voice
# run in a helper process, which links nothing else of the program.
target_sources(aurisona_core PRIVATE ${ENGINE_DIR}/festival_engine.cpp ${ENGINE_DIR}/festival_protocol.cpp)
find_path(FESTIVAL_INCLUDE_DIR festival/festival.h REQUIRED)
find_path(EST_INCLUDE_DIR speech_tools/EST.h REQUIRED)
add_executable(aurisona-festival ${ENGINE_DIR}/helper/festival_helper.cpp ${ENGINE_DIR}/festival_protocol.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/util/socket_io.cpp)
target_include_directories(aurisona-festival PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_include_directories(aurisona-festival SYSTEM PRIVATE ${FESTIVAL_INCLUDE_DIR}/festival ${EST_INCLUDE_DIR}/speech_tools)
foreach(lib Festival estools estbase eststring)
  find_library(FESTIVAL_${lib} ${lib} REQUIRED)
  target_link_libraries(aurisona-festival PRIVATE ${FESTIVAL_${lib}})
endforeach()
target_link_libraries(aurisona-festival PRIVATE aurisona_warnings)
install(TARGETS aurisona-festival DESTINATION libexec/aurisona)
target_compile_definitions(aurisona_core PRIVATE AURISONA_FESTIVAL_HELPER="$<TARGET_FILE:aurisona-festival>")
add_dependencies(aurisona_core aurisona-festival)
