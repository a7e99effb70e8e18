# Fuzz build (FUZZ=ON, clang): the engine's logic against the fake platform,
# driven by libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
# The engine and the target are instrumented for coverage; the fake is
# checked by the sanitizers but adds no coverage of its own.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "The fuzz build needs clang: -DCMAKE_CXX_COMPILER=clang++")
endif()

set(sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
set(common_flags ${sanitizer_flags} -fno-omit-frame-pointer -g -O1)
foreach(library base product core)
  target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link ${common_flags})
endforeach()

find_package(Threads REQUIRED)

file(GLOB fake_sources CONFIGURE_DEPENDS tests/fake/*.cpp)
add_library(fake_platform STATIC ${fake_sources})
target_include_directories(fake_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# The fake's SHA-256 is the host's own (OpenSSL's libcrypto).
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
target_link_libraries(fake_platform PRIVATE OpenSSL::Crypto)
target_compile_options(fake_platform PRIVATE ${common_flags})
target_link_libraries(core PUBLIC fake_platform)

add_executable(engine_fuzz tests/fuzz/engine_fuzz.cpp)
target_compile_options(engine_fuzz PRIVATE -fsanitize=fuzzer ${common_flags})
target_link_options(engine_fuzz PRIVATE -fsanitize=fuzzer ${sanitizer_flags})
target_link_libraries(engine_fuzz PRIVATE core fake_platform Threads::Threads)
