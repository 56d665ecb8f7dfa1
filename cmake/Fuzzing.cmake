# The fuzz build: the whole tree compiled with clang 16 or later, instrumented for libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer, so the targets in fuzz/ drive the real modules.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 16)
  message(FATAL_ERROR
    "AMBREL_BUILD_FUZZERS needs clang 16 or later with its runtime (Debian: clang-16 libclang-rt-16-dev); "
    "configure a separate build folder with -DCMAKE_CXX_COMPILER=clang++-16. "
    "Found ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}.")
endif()

set(AMBREL_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

# libstdc++ 12 offers std::expected only where the compiler reports full concepts support, which
# clang before 19 does not although clang 16 handles the header.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <expected>\nint main() { std::expected<int, int> e{1}; return *e - 1; }"
                          AMBREL_FUZZ_HAS_EXPECTED)
if(NOT AMBREL_FUZZ_HAS_EXPECTED)
  add_compile_options(-D__cpp_concepts=202002L -Wno-macro-redefined -Wno-builtin-macro-redefined)
endif()

add_compile_options(-fsanitize=fuzzer-no-link ${AMBREL_FUZZ_SANITIZERS})
add_link_options(${AMBREL_FUZZ_SANITIZERS})
