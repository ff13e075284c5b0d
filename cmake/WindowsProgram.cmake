# Setup.exe, the program as shipped: one self-contained GUI executable that needs no DLL
# beyond those of Windows itself (KERNEL32, USER32, ADVAPI32, msvcrt).
enable_language(RC)

set(FERROWIND_RES_DIR ${PROJECT_SOURCE_DIR}/res)
configure_file(${FERROWIND_RES_DIR}/Setup.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Setup.rc @ONLY)

add_executable(Setup WIN32 src/Setup/Main.cpp ${CMAKE_CURRENT_BINARY_DIR}/Setup.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/Setup.rc PROPERTIES
  OBJECT_DEPENDS "${FERROWIND_RES_DIR}/Setup.manifest;${FERROWIND_RES_DIR}/Setup.ico")
target_link_libraries(Setup PRIVATE ferrowind_host)
set_target_properties(Setup PROPERTIES OUTPUT_NAME Setup SUFFIX .exe)

# Size: every function and datum in its own section, so the linker drops what is unused.
set(FERROWIND_SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
foreach(target ferrowind_core ferrowind_host Setup)
  target_compile_options(${target} PRIVATE ${FERROWIND_SIZE_FLAGS})
endforeach()
target_link_options(Setup PRIVATE
  -mwindows -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections)

# The vendor's zip: the program, the checker, an example configuration with its keywords
# explained and the files it copies, and a short README.
install(TARGETS Setup RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/vendor/Setup.cfg ${PROJECT_SOURCE_DIR}/vendor/Keywords.txt
              ${PROJECT_SOURCE_DIR}/vendor/README.txt DESTINATION .)
# The example's Files tree (small placeholder files) beside it: the example is whole, and
# the checker and its preview run clean in the unpacked zip.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/package/Files DESTINATION .)
# The checker is defined after this file; the expression is resolved when the build is
# generated.
install(PROGRAMS $<TARGET_FILE:ferrowind-check> DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME FerrowindSetup)
set(CPACK_PACKAGE_FILE_NAME "FerrowindSetup-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
