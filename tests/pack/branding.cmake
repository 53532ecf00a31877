# Branding tests: units and trevan-pack's answers (branding_test), the
# branded programs read back by pefile, wrestool and osslsigncode
# (branding_pe_*), the branded program under Wine (branding_e2e_test) and
# the release archive (release_archive).
if(NOT WIN32)
  trevan_host_test(branding_test branding_test.cpp)
  target_link_libraries(branding_test PRIVATE trevan_branding)
  target_compile_definitions(branding_test PRIVATE
    TREVAN_PACK_TOOL="$<TARGET_FILE:trevan-pack>"
    TREVAN_WIN32_PROGRAM="${TREVAN_WIN32_DIR}/Trevan.exe"
    TREVAN_WIN64_PROGRAM="${TREVAN_WIN64_DIR}/Trevan.exe"
    TREVAN_VERSION_TEXT="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  add_dependencies(branding_test trevan-pack)

  set(TREVAN_win32_PROGRAM ${TREVAN_WIN32_DIR}/Trevan.exe)
  set(TREVAN_win64_PROGRAM ${TREVAN_WIN64_DIR}/Trevan.exe)
  foreach(tree win32 win64)
    add_test(NAME branding_pe_${tree}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/check_branding.py
                     $<TARGET_FILE:trevan-pack> ${TREVAN_${tree}_PROGRAM}
                     ${CMAKE_BINARY_DIR}/test-tmp/branding_pe_${tree})
  endforeach()
  set_tests_properties(branding_pe_win32 branding_pe_win64 PROPERTIES FIXTURES_REQUIRED windows_programs)

  trevan_wine_driven_test(branding_e2e_test branding_e2e_test.cpp ${PROJECT_SOURCE_DIR}/tests/app/run_fixture.cpp)
  target_link_libraries(branding_e2e_test PRIVATE trevan_pack_lib)

  add_test(NAME release_archive
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/release_archive_test.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_BINARY_DIR}/test-tmp/release_archive ${PROJECT_VERSION})
  set_tests_properties(release_archive PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wine_session
    ENVIRONMENT "WINEPREFIX=${TREVAN_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endif()
