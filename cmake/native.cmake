# Native build: the engine's logic against the fake platform, under
# AddressSanitizer and UndefinedBehaviorSanitizer (SANITIZE=address, the
# default) or ThreadSanitizer (SANITIZE=thread).
set(SANITIZE "address" CACHE STRING "address or thread")
if(SANITIZE STREQUAL "thread")
  set(sanitizer_flags -fsanitize=thread)
else()
  set(sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
add_compile_options(${sanitizer_flags} -fno-omit-frame-pointer -g)
add_link_options(${sanitizer_flags})
# The flags above apply to targets made after this point; the base, product
# and core libraries were made before, so give them the same.
foreach(library base product core)
  target_compile_options(${library} PRIVATE ${sanitizer_flags} -fno-omit-frame-pointer -g)
endforeach()

find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

file(GLOB fake_sources CONFIGURE_DEPENDS tests/fake/*.cpp)
add_library(fake_platform STATIC ${fake_sources})
target_include_directories(fake_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# The fake's SHA-256 is the host's own (OpenSSL's libcrypto).
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
target_link_libraries(fake_platform PRIVATE OpenSSL::Crypto)

file(GLOB unit_sources CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(unit_tests ${unit_sources})
target_link_libraries(unit_tests PRIVATE core fake_platform GTest::gtest_main Threads::Threads)
target_link_libraries(core PUBLIC fake_platform)
add_test(NAME unit_tests COMMAND unit_tests)

# The checks of the product file, against a table of bad product files.
add_test(NAME product_file_checks COMMAND ${CMAKE_COMMAND}
  -DSCRATCH=${CMAKE_CURRENT_BINARY_DIR}/product-checks
  -P ${CMAKE_CURRENT_SOURCE_DIR}/tests/products/bad_products.cmake)
