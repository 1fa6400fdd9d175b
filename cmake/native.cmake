# Native build of the portable core: unit tests under ASan and UBSan,
# libFuzzer targets and benchmarks.
option(KETRA_SANITIZE "Build with AddressSanitizer and UBSan" ON)
set(SAN_FLAGS)
if(KETRA_SANITIZE)
  set(SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()
target_compile_options(ketra_core PRIVATE ${SAN_FLAGS} -g)
target_link_options(ketra_core PUBLIC ${SAN_FLAGS})

file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS tests/native/*.cpp)
if(NATIVE_TEST_SOURCES)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(native_tests ${NATIVE_TEST_SOURCES} ${TABLE_HOST_SOURCES})
  target_compile_options(native_tests PRIVATE ${SAN_FLAGS} -g)
  target_link_libraries(native_tests PRIVATE ketra_core gtest_main)
  target_compile_definitions(native_tests PRIVATE KETRA_SOURCE="${CMAKE_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(native_tests)
endif()

# One libFuzzer target per fuzz/fuzz_*.cpp (needs clang); ctest runs each for
# a bounded time over its committed corpus.
set(KETRA_FUZZ_SECONDS 60 CACHE STRING "Seconds each fuzzer runs under ctest")
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_library(ketra_core_fuzz STATIC ${CORE_SOURCES} ${TABLE_HOST_SOURCES})
  target_include_directories(ketra_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(ketra_core_fuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined -g)
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/fuzz_*.cpp)
  foreach(src ${FUZZ_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -g)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ketra_core_fuzz)
    set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    # New inputs go to a folder of the build; the committed corpus is only read.
    set(found ${CMAKE_BINARY_DIR}/fuzz-found/${name})
    file(MAKE_DIRECTORY ${found})
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
              $<TARGET_FILE:${name}> -max_total_time=${KETRA_FUZZ_SECONDS}
              -max_len=65536 -rss_limit_mb=4096 ${found} ${corpus})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  endforeach()
endif()

# Benchmarks measure the optimised core, without sanitizers.
add_library(ketra_core_bench STATIC ${CORE_SOURCES} ${TABLE_HOST_SOURCES})
target_include_directories(ketra_core_bench PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(ketra_core_bench PRIVATE -O2)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS bench/bench_*.cpp)
foreach(src ${BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_compile_options(${name} PRIVATE -O2)
  target_link_libraries(${name} PRIVATE ketra_core_bench)
endforeach()

# Tools that also build natively (their CMakeLists.txt decides what).
file(GLOB TOOL_LISTS CONFIGURE_DEPENDS tools/*/CMakeLists.txt)
foreach(l ${TOOL_LISTS})
  get_filename_component(d ${l} DIRECTORY)
  add_subdirectory(${d})
endforeach()
