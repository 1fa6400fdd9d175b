# The program as shipped (this i686 tree) under Wine, with 32-bit test tools
# from the same tree, so that the installer, the probe and the program share
# one registry view: the demo, the start-up and silent uninstall scenarios,
# and one wizard walk with screenshots. The 64-bit tree runs everything.
set(SHIPPED_ENV "BUILD_DIR=${CMAKE_BINARY_DIR};KETRA_BUILD=${CMAKE_BINARY_DIR};KETRA_SOURCE=${CMAKE_SOURCE_DIR}")

# Through a file: a window the demo leaves open (Wine's shell shows the
# Program Manager group) would hold a pipe to ctest open.
add_test(NAME demo COMMAND /bin/sh -c "\"$0\" --built >\"$1\" 2>&1; s=$?; cat \"$1\"; exit $s"
                           ${CMAKE_SOURCE_DIR}/tools/demo.sh ${CMAKE_BINARY_DIR}/demo.log)

set(SHIPPED_SCENARIOS
    test_startup
    test_uninstall.SilentUninstall
    test_wizard.FirstStart.test_automatic_mode_to_final_page_and_uninstall)
foreach(s ${SHIPPED_SCENARIOS})
  add_test(NAME e2e.${s} COMMAND /usr/bin/python3 -m unittest -v ${s}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
endforeach()

get_property(SHIPPED_TESTS DIRECTORY PROPERTY TESTS)
set_tests_properties(${SHIPPED_TESTS} PROPERTIES TIMEOUT 1800 ENVIRONMENT "${SHIPPED_ENV}")
