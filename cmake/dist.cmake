# The release archive, build/dist/trevan-<version>-linux.tar.gz (make dist):
# the shipped program (the 32-bit build), trevan-pack for Linux (this tree)
# and for Windows (the 64-bit tree), the README and a sample branding file.
set(TREVAN_WIN32_DIR ${PROJECT_SOURCE_DIR}/build/win32 CACHE PATH
    "32-bit build tree holding the shipped program")
set(TREVAN_WIN64_DIR ${PROJECT_SOURCE_DIR}/build/win64 CACHE PATH
    "64-bit build tree whose programs the end-to-end tests run")

install(TARGETS trevan-pack RUNTIME DESTINATION .)
install(PROGRAMS ${TREVAN_WIN32_DIR}/Trevan.exe ${TREVAN_WIN64_DIR}/trevan-pack.exe DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/resources/branding.sample.json
        DESTINATION .)

set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME trevan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME trevan-${PROJECT_VERSION}-linux)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
