# Setup.exe, the program as shipped: one self-contained GUI executable that needs no DLL
# beyond those of Windows itself (KERNEL32, USER32, ADVAPI32, msvcrt).
enable_language(RC)

set(FERROWIND_RES_DIR ${PROJECT_SOURCE_DIR}/res)
configure_file(${FERROWIND_RES_DIR}/Setup.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Setup.rc @ONLY)

add_executable(Setup WIN32 src/Setup/Main.cpp ${CMAKE_CURRENT_BINARY_DIR}/Setup.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/Setup.rc PROPERTIES
  OBJECT_DEPENDS "${FERROWIND_RES_DIR}/Setup.manifest;${FERROWIND_RES_DIR}/Setup.ico")
target_link_libraries(Setup PRIVATE ferrowind_setup)
set_target_properties(Setup PROPERTIES OUTPUT_NAME Setup SUFFIX .exe)

# Size: every function and datum in its own section, so the linker drops what is unused.
set(FERROWIND_SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
foreach(target ferrowind_base ferrowind_platform ferrowind_libraryinstall ferrowind_setup Setup)
  target_compile_options(${target} PRIVATE ${FERROWIND_SIZE_FLAGS})
endforeach()
target_link_options(Setup PRIVATE
  -mwindows -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections)

# One commit always builds the same bytes (Setup.exe and ferrowind-check.exe alike): the PE
# time stamp is left out (0), so the checksum over it is the same in every build, and the
# source and build folders are kept out of the objects. ld's subsystem version (4.00) is
# left as it is: it lets Windows XP load the programs, which tests/release checks.
set(FERROWIND_PE_LINK_OPTIONS -Wl,--no-insert-timestamp)
set(FERROWIND_PATH_FLAGS -ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
foreach(target ferrowind_base ferrowind_platform ferrowind_libraryinstall ferrowind_setup Setup)
  target_compile_options(${target} PRIVATE ${FERROWIND_PATH_FLAGS})
endforeach()
target_link_options(Setup PRIVATE ${FERROWIND_PE_LINK_OPTIONS})

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
# SHA256SUMS, so that a vendor can show users which binaries they ship (sha256sum -c, or
# certutil -hashfile Setup.exe SHA256 on Windows).
install(CODE [[
  set(sums "")
  foreach(file Setup.exe ferrowind-check.exe)
    file(SHA256 "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${file}" hash)
    string(APPEND sums "${hash}  ${file}\n")
  endforeach()
  file(WRITE "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/SHA256SUMS" "${sums}")
]])
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME FerrowindSetup)
set(CPACK_PACKAGE_FILE_NAME "FerrowindSetup-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
