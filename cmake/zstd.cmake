# The zstd library's decoder, which applies the releases' zstd patches, as
# one target for the code to link: zstd_decoder. The Windows programs carry
# it inside them, compiled from Debian's source package of libzstd at the
# host's zstd version, which scripts/prerequisites.sh (ensure_zstd_sources)
# unpacks into build/third_party; the native builds link the host's libzstd,
# the same interface.
if(WIN32)
  set(ZSTD_SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/build/third_party/libzstd" CACHE PATH
    "The zstd library's sources (holding lib/zstd.h) the Windows decoder is built from")
  if(NOT EXISTS "${ZSTD_SOURCE_DIR}/lib/zstd.h")
    message(FATAL_ERROR "No zstd library sources in ZSTD_SOURCE_DIR (${ZSTD_SOURCE_DIR}). "
      "ensure_zstd_sources of scripts/prerequisites.sh unpacks them there (scripts/test.sh "
      "and scripts/package.sh run it); by hand: "
      "bash -c 'source scripts/prerequisites.sh && ensure_zstd_sources'")
  endif()
  # The default is a link to the current version's folder: configure again
  # when it moves, so that the build never keeps another version's objects.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ZSTD_SOURCE_DIR}")
  file(REAL_PATH "${ZSTD_SOURCE_DIR}" zstd_lib)
  set(zstd_lib "${zstd_lib}/lib")
  message(STATUS "zstd decoder from ${zstd_lib}")

  file(GLOB zstd_sources CONFIGURE_DEPENDS "${zstd_lib}/decompress/*.c")
  foreach(source debug entropy_common error_private fse_decompress xxhash zstd_common)
    list(APPEND zstd_sources "${zstd_lib}/common/${source}.c")
  endforeach()
  add_library(zstd_decoder STATIC ${zstd_sources})
  target_include_directories(zstd_decoder SYSTEM PUBLIC "${zstd_lib}")
  # Only frames of the current format, decoded on the caller's thread, in C
  # (the assembly decoder is for ELF targets).
  target_compile_definitions(zstd_decoder PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0)
  # The project's warnings and text encoding are for its own sources: this
  # code gets none of them, and is built small.
  if(MSVC)
    set_target_properties(zstd_decoder PROPERTIES COMPILE_OPTIONS "/w;$<$<NOT:$<CONFIG:Debug>>:/O1>")
  else()
    set_target_properties(zstd_decoder PROPERTIES COMPILE_OPTIONS "-w;$<$<NOT:$<CONFIG:Debug>>:-Os>")
  endif()
else()
  find_path(ZSTD_INCLUDE_DIR zstd.h)
  find_library(ZSTD_LIBRARY zstd)
  if(NOT ZSTD_INCLUDE_DIR OR NOT ZSTD_LIBRARY)
    message(FATAL_ERROR "No zstd library on the host: install libzstd-dev "
      "(ensure_prerequisites of scripts/prerequisites.sh does)")
  endif()
  add_library(zstd_decoder INTERFACE)
  target_include_directories(zstd_decoder SYSTEM INTERFACE "${ZSTD_INCLUDE_DIR}")
  target_link_libraries(zstd_decoder INTERFACE "${ZSTD_LIBRARY}")
endif()
