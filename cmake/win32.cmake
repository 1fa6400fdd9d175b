# The product, its restart program, the Win32 tests and the test tools.
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
set(WIN32_LIBS comdlg32 comctl32 ole32 oleaut32 uuid shell32 advapi32 user32 gdi32 kernel32)
add_compile_definitions(WINVER=0x0400 _WIN32_WINNT=0x0501 _WIN32_IE=0x0400)

# The test build's program carries the hooks the Wine scenarios drive it
# through (environment variables); the shipped one (KETRA_TESTS=OFF) has none.
option(KETRA_TESTS "Build the Windows tests and the program's test hooks" ON)
# The shipped tree: the test tools and a subset of the scenarios, run
# against the program as shipped (cmake/shipped_tests.cmake).
option(KETRA_SHIPPED_TESTS "Run a subset of the scenarios on this build" OFF)

# The hooks live with the tests; the shipped program links their stand-in,
# which does nothing.
set(NO_HOOKS_SOURCE ${CMAKE_SOURCE_DIR}/app/hooks_off_win32.cpp)
list(REMOVE_ITEM WIN32_SOURCES ${NO_HOOKS_SOURCE})
add_library(ketra_hooks OBJECT ${CMAKE_SOURCE_DIR}/tests/support/test_hooks_win32.cpp)
target_include_directories(ketra_hooks PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(ketra_hooks PRIVATE ${WARNINGS})
add_library(ketra_no_hooks OBJECT ${NO_HOOKS_SOURCE})
target_include_directories(ketra_no_hooks PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(ketra_no_hooks PRIVATE ${WARNINGS})
if(KETRA_TESTS)
  set(PROGRAM_HOOKS ketra_hooks)
else()
  set(PROGRAM_HOOKS ketra_no_hooks)
endif()

if(WIN32_SOURCES)
  add_library(ketra_win32 STATIC ${WIN32_SOURCES})
  target_link_libraries(ketra_win32 PUBLIC ketra_core ${WIN32_LIBS})
  target_compile_options(ketra_win32 PRIVATE ${WARNINGS})
else()
  add_library(ketra_win32 INTERFACE)
  target_link_libraries(ketra_win32 INTERFACE ketra_core ${WIN32_LIBS})
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/restart/CMakeLists.txt)
  add_subdirectory(restart)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/ui/resources/CMakeLists.txt)
  add_subdirectory(ui/resources)
endif()

# target: the program with the hooks object given.
function(add_program target hooks)
  add_executable(${target} WIN32 ${ENTRY_SOURCE} $<TARGET_OBJECTS:${hooks}> ${KETRA_RESOURCE_OBJECTS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME UNKETRA32 SUFFIX .EXE)
  target_link_libraries(${target} PRIVATE ketra_win32 ${STATIC_RUNTIME})
  target_compile_options(${target} PRIVATE ${WARNINGS})
  if(KETRA_RESOURCE_DEPENDS)
    add_dependencies(${target} ${KETRA_RESOURCE_DEPENDS})
  endif()
  # The program as shipped carries no debug sections.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s>)
  endif()
endfunction()
add_program(UNKETRA32 ${PROGRAM_HOOKS})

if(NOT KETRA_TESTS AND NOT KETRA_SHIPPED_TESTS)
  return()
endif()

# Test tools (each folder of tools/ with a CMakeLists.txt): the test
# installer, the servers the tests talk to, the log viewer.
file(GLOB TOOL_LISTS CONFIGURE_DEPENDS tools/*/CMakeLists.txt)
foreach(l ${TOOL_LISTS})
  get_filename_component(d ${l} DIRECTORY)
  add_subdirectory(${d})
endforeach()

if(NOT KETRA_TESTS)
  # The start-up scenarios watch start-up through the hooks: they run a
  # copy of the shipped program that differs from it by the hooks alone.
  add_program(UNKETRA32_HOOKED ketra_hooks)
  set_target_properties(UNKETRA32_HOOKED PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                    ${CMAKE_BINARY_DIR}/hooked)
  include(cmake/shipped_tests.cmake)
  return()
endif()

# Win32 unit and system tests, run through Wine by ctest.
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS tests/win32/*.cpp)
if(WIN32_TEST_SOURCES)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(win32_tests ${WIN32_TEST_SOURCES} $<TARGET_OBJECTS:${PROGRAM_HOOKS}>
                             ${KETRA_RESOURCE_OBJECTS})
  target_link_libraries(win32_tests PRIVATE ketra_win32 gtest_main ${STATIC_RUNTIME})
  if(KETRA_RESOURCE_DEPENDS)
    add_dependencies(win32_tests ${KETRA_RESOURCE_DEPENDS})
  endif()
  add_dependencies(win32_tests UNKETRA32)
  include(GoogleTest)
  gtest_discover_tests(win32_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "KETRA_BUILD=${CMAKE_BINARY_DIR};KETRA_SOURCE=${CMAKE_SOURCE_DIR}"
               TIMEOUT 300)
endif()

# End-to-end scenarios, driven from the Linux side.
file(GLOB E2E_TESTS CONFIGURE_DEPENDS tests/e2e/test_*.py)
foreach(t ${E2E_TESTS})
  get_filename_component(name ${t} NAME_WE)
  add_test(NAME e2e.${name} COMMAND /usr/bin/python3 -m unittest -v ${name}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
  set_tests_properties(e2e.${name} PROPERTIES TIMEOUT 900
    ENVIRONMENT "KETRA_BUILD=${CMAKE_BINARY_DIR};KETRA_SOURCE=${CMAKE_SOURCE_DIR}")
endforeach()
