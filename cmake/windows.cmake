# Windows build (MinGW-w64 cross build here, or natively on Windows): the
# Win32 platform layer, the two programs, and the tests that run under Wine.
# What a user gets is an optimized release build without symbols; a tree
# configured with another build type (Debug for a debugger) keeps its own.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Debug, Release, ..." FORCE)
endif()

if(NOT MSVC)
  add_link_options(-static)
  # Resource scripts are UTF-8; their texts become UTF-16 in the resources.
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
endif()

file(GLOB platform_sources CONFIGURE_DEPENDS platform/win32/*.cpp)
add_library(platform_win32 STATIC ${platform_sources})
target_include_directories(platform_win32 PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(platform_win32 PUBLIC base
  user32 gdi32 advapi32 shell32 ole32 uuid winmm comctl32 bcrypt)
target_link_libraries(core PUBLIC platform_win32)

# The release manifest that scripts/package.sh writes, compiled into both
# programs as RCDATA IDR_RELEASE_MANIFEST, so that the signature vouches
# for it. Developer builds leave it empty and carry no such resource.
set(RELEASE_MANIFEST "" CACHE FILEPATH
  "The release manifest the programs carry (package.sh sets it; empty: none)")
set(release_manifest_rc "${product_dir}/release_manifest.rc")
set(release_manifest_copy "${product_dir}/release.manifest")
if(RELEASE_MANIFEST)
  # The copy changes only when the manifest does, and a changed manifest
  # configures the tree again: the resources are then compiled again.
  configure_file("${RELEASE_MANIFEST}" "${release_manifest_copy}" COPYONLY)
  file(CONFIGURE OUTPUT "${release_manifest_rc}" CONTENT
    "IDR_RELEASE_MANIFEST RCDATA \"${release_manifest_copy}\"\n")
  set(release_manifest_depends "${release_manifest_rc};${release_manifest_copy}")
else()
  file(REMOVE "${release_manifest_copy}")
  file(CONFIGURE OUTPUT "${release_manifest_rc}" CONTENT
    "// No release manifest: a developer build.\n")
  set(release_manifest_depends "${release_manifest_rc}")
endif()
set_source_files_properties(resources/update.rc resources/setup.rc PROPERTIES
  OBJECT_DEPENDS "${release_manifest_depends}")

# update.exe and setup.exe share every source; only their resources differ
# (the update window, or the setup window with the install options dialog).
file(GLOB app_sources CONFIGURE_DEPENDS app/*.cpp)
foreach(program update setup)
  add_executable(${program} WIN32 ${app_sources} resources/${program}.rc)
  # The resource scripts include the product's texts.
  target_include_directories(${program} PRIVATE "${product_dir}")
  target_link_libraries(${program} PRIVATE core)
  if(NOT MSVC)
    target_link_options(${program} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
  endif()
endforeach()

# GoogleTest, cross-built from Debian's sources.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest googletest EXCLUDE_FROM_ALL)

# Scratch folders and file helpers shared by the two tiers below.
file(GLOB test_support_sources CONFIGURE_DEPENDS tests/support/*.cpp)

# The platform layer against the real system (run under Wine).
file(GLOB win32_test_sources CONFIGURE_DEPENDS tests/win32/*.cpp)
add_executable(win32_tests ${win32_test_sources} ${test_support_sources})
target_link_libraries(win32_tests PRIVATE core gtest_main)
add_test(NAME win32_tests COMMAND win32_tests)

# Driving a real program through its windows from another process: the hands
# of the Windows tests, the demo and the benchmark.
add_library(program_driver STATIC driver/program_driver.cpp)
target_include_directories(program_driver PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(program_driver PUBLIC user32)

# The real programs driven through their windows (run under Wine).
file(GLOB e2e_sources CONFIGURE_DEPENDS tests/e2e/*.cpp)
add_executable(e2e_tests ${e2e_sources} ${test_support_sources})
target_link_libraries(e2e_tests PRIVATE program_driver)
target_include_directories(e2e_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(e2e_tests PRIVATE product gtest_main user32 advapi32 shell32 ole32 uuid)
add_dependencies(e2e_tests update setup shell_recorder)
add_test(NAME e2e_tests COMMAND e2e_tests)
set_tests_properties(e2e_tests PROPERTIES ENVIRONMENT
  "PROGRAM_DIR=${CMAKE_CURRENT_BINARY_DIR}")

# What the shell starts for setup.exe in the end-to-end tests: a stand-in
# for the game and for the program that opens the readme and the manual.
add_executable(shell_recorder WIN32 tests/e2e/recorder/shell_recorder.cpp)

# The demo's driver (scripts/demo.sh): presses the buttons of the update or
# the setup window when no one sits at the display. A console program, not a
# test.
add_executable(demo_driver demo/demo_driver.cpp)
target_link_libraries(demo_driver PRIVATE program_driver)

# The copy benchmark (scripts/bench.sh): the update run, and the real
# update.exe driven through its window, beside the system's own copy. A
# console program, not a test.
# It runs the engine built with its copy phases timed (COPY_PHASES), so that
# it can tell where the update's time goes.
add_library(core_phases STATIC ${core_sources})
target_compile_definitions(core_phases PUBLIC COPY_PHASES)
target_link_libraries(core_phases PUBLIC base product platform_win32 ZLIB::ZLIB zstd_decoder)
add_executable(copy_bench bench/copy_bench.cpp)
target_link_libraries(copy_bench PRIVATE program_driver)
target_include_directories(copy_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(copy_bench PRIVATE core_phases psapi)
