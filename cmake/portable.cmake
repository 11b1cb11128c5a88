# Portable programs: static executables that run on any x86-64 Linux, for
# the VS Code extension and the portable archive, whose users' systems may
# have an older C library and no C++ run time of the right version. The
# code pages come from the program's own tables, so nothing needs the C
# library's converters, which a static program cannot load.
if(WIN32 OR VELTRANE_SANITIZE OR VELTRANE_FUZZ)
  set(VELTRANE_PORTABLE_DEFAULT OFF)
else()
  set(VELTRANE_PORTABLE_DEFAULT ON)
endif()
option(VELTRANE_PORTABLE "Also build static veltrane-check and veltrane-lsp into bin/portable/"
       ${VELTRANE_PORTABLE_DEFAULT})

# Makes `target` the portable build of program `name`: bin/portable/NAME.
function(veltrane_make_portable target name)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${name}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/portable)
  target_link_options(${target} PRIVATE -static)
endfunction()
