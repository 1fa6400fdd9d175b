# The program as shipped (this i686 tree) under Wine, with 32-bit test tools
# from the same tree, so that the installer, the probe and the program share
# one registry view: the demo, the start-up and silent uninstall scenarios,
# and one wizard walk with screenshots. The 64-bit tree runs everything.
set(SHIPPED_ENV "BUILD_DIR=${CMAKE_BINARY_DIR};KETRA_BUILD=${CMAKE_BINARY_DIR};KETRA_SOURCE=${CMAKE_SOURCE_DIR}")

# Through a file: a window the demo leaves open (Wine's shell shows the
# Program Manager group) would hold a pipe to ctest open.
add_test(NAME demo COMMAND /bin/sh -c "\"$0\" --built >\"$1\" 2>&1; s=$?; cat \"$1\"; exit $s"
                           ${CMAKE_SOURCE_DIR}/tools/demo.sh ${CMAKE_BINARY_DIR}/demo.log)

# The start-up scenarios, the open-file dialog's two included.
add_test(NAME e2e.test_startup COMMAND /usr/bin/python3 -m unittest -v test_startup
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
set_tests_properties(e2e.test_startup PROPERTIES
                     ENVIRONMENT "KETRA_PROGRAM=${CMAKE_BINARY_DIR}/hooked/UNKETRA32.EXE")

# What an uninstall must never remove, from the 32-bit program's side of a
# 64-bit system: the 64-bit Program Files and system folders are other names
# there. A handful of invariant seeds: each one is slower under emulation.
foreach(s test_uninstall.SilentUninstall test_safety test_safety_files test_invariant
          test_ownership_services
          test_wizard.FirstStart.test_automatic_mode_to_final_page_and_uninstall)
  add_test(NAME e2e.${s} COMMAND /usr/bin/python3 -m unittest -v ${s}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
endforeach()

# Generous against a busy machine or the emulator (the subset takes about
# two minutes either way here), yet a hang ends well inside CI's time.
get_property(SHIPPED_TESTS DIRECTORY PROPERTY TESTS)
set_tests_properties(${SHIPPED_TESTS} PROPERTIES TIMEOUT 900)
foreach(t ${SHIPPED_TESTS})
  set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT ${SHIPPED_ENV})
endforeach()
set_property(TEST e2e.test_invariant APPEND PROPERTY ENVIRONMENT KETRA_INVARIANT_CASES=8)
