# The program as shipped (this i686 tree) under Wine, with 32-bit test tools
# from the same tree, so that the installer, the probe and the program share
# one registry view: the demo, the start-up and silent uninstall scenarios,
# and one wizard walk with screenshots. The 64-bit tree runs everything.
set(SHIPPED_ENV "BUILD_DIR=${CMAKE_BINARY_DIR};KETRA_BUILD=${CMAKE_BINARY_DIR};KETRA_SOURCE=${CMAKE_SOURCE_DIR}")

# The Windows versions the prefix presents to the program (Wine's per-program
# Version, set for the run and reset afterwards by tools/windows-version.sh):
# the 95 family, NT 4.0 and today's. Each scenario of VERSION_SCENARIOS runs
# once under each of them, as <name>@<version>, and not otherwise; every other
# scenario sees the prefix's own default.
set(WINDOWS_VERSIONS win98 nt40 win10)
set(VERSION_SCENARIOS demo e2e.test_uninstall.SilentUninstall e2e.test_safety)

# add_shipped_test(name [WORKING_DIRECTORY dir] COMMAND ...): @VERSION@ in the
# command stands for the version it runs under ("default" for none).
function(add_shipped_test name)
  cmake_parse_arguments(arg "" "WORKING_DIRECTORY" "COMMAND" ${ARGN})
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
  if(name IN_LIST VERSION_SCENARIOS)
    foreach(v ${WINDOWS_VERSIONS})
      set(command ${arg_COMMAND})
      list(TRANSFORM command REPLACE "@VERSION@" ${v})
      add_test(NAME ${name}@${v} COMMAND ${CMAKE_SOURCE_DIR}/tools/windows-version.sh ${v} ${command}
               WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
    endforeach()
  else()
    set(command ${arg_COMMAND})
    list(TRANSFORM command REPLACE "@VERSION@" default)
    add_test(NAME ${name} COMMAND ${command} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  endif()
endfunction()

# Through a file: a window the demo leaves open (Wine's shell shows the
# Program Manager group) would hold a pipe to ctest open. No semicolons: the
# command passes through a CMake list.
add_shipped_test(demo COMMAND /bin/sh -c "\"$0\" --built >\"$1\" 2>&1 || s=$? && cat \"$1\" && exit \${s:-0}"
                              ${CMAKE_SOURCE_DIR}/tools/demo.sh ${CMAKE_BINARY_DIR}/demo-@VERSION@.log)

# The start-up scenarios, the open-file dialog's two included.
add_shipped_test(e2e.test_startup WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e
                 COMMAND /usr/bin/python3 -m unittest -v test_startup)
set_tests_properties(e2e.test_startup PROPERTIES
                     ENVIRONMENT "KETRA_PROGRAM=${CMAKE_BINARY_DIR}/hooked/UNKETRA32.EXE")

# What an uninstall must never remove, from the 32-bit program's side of a
# 64-bit system: the 64-bit Program Files and system folders are other names
# there. A handful of invariant seeds: each one is slower under emulation.
foreach(s test_uninstall.SilentUninstall test_safety test_safety_files test_ownership_registry
          test_invariant
          test_ownership_services
          test_wizard.FirstStart.test_automatic_mode_to_final_page_and_uninstall)
  add_shipped_test(e2e.${s} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e
                   COMMAND /usr/bin/python3 -m unittest -v ${s})
endforeach()

# The release package, signed with a throwaway certificate; the signed
# program runs the demo.
add_shipped_test(release WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tools/release
                 COMMAND /usr/bin/python3 -m unittest -v release_test)

# Generous against a busy machine or the emulator (the subset takes about
# two minutes either way here), yet a hang ends well inside CI's time.
get_property(SHIPPED_TESTS DIRECTORY PROPERTY TESTS)
set_tests_properties(${SHIPPED_TESTS} PROPERTIES TIMEOUT 900)
foreach(t ${SHIPPED_TESTS})
  set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT ${SHIPPED_ENV})
endforeach()
set_property(TEST e2e.test_invariant APPEND PROPERTY ENVIRONMENT KETRA_INVARIANT_CASES=8)
