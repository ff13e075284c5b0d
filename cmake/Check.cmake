# ferrowind-check, the package vendor's checker for Setup.cfg. Its analysis links the
# installer's own reader and helpers (ferrowind_setup), so the two cannot disagree; the
# program adds the system host for reading the file and listing folders, and for the
# preview, which runs the installer's own run over a host that changes nothing.
add_library(ferrowind_check STATIC
  src/Check/CheckDisk.cpp
  src/Check/ConfigCheck.cpp
  src/Check/PreviewHost.cpp
  src/Check/PreviewReport.cpp
  src/Check/Report.cpp
)
target_link_libraries(ferrowind_check PUBLIC ferrowind_setup)

add_executable(ferrowind-check src/Check/CheckMain.cpp)
target_link_libraries(ferrowind-check PRIVATE ferrowind_check)

if(WIN32)
  # A console program, as self-contained as Setup.exe: no DLL beyond Windows' own.
  foreach(target ferrowind_check ferrowind-check)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections ${FERROWIND_PATH_FLAGS})
  endforeach()
  target_link_options(ferrowind-check PRIVATE
    -mconsole -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections ${FERROWIND_PE_LINK_OPTIONS})
endif()
