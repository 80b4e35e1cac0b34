# The release, made by the Windows build: `cmake --build --preset windows --target package`
# writes package/Tarnwick-<version>-win64.zip (both programs, the user guide as one page a
# double-click opens, the changelog) and SHA256SUMS beside it. The same commit gives the
# same bytes (tools/check-reproducible).
# Debian's python3-markdown is /usr/bin/python3's, which may not be the first on PATH.
find_program(TARNWICK_PYTHON NAMES python3 python HINTS /usr/bin REQUIRED)
set(guide_source ${PROJECT_SOURCE_DIR}/docs/使用说明.md)
set(guide_page ${PROJECT_BINARY_DIR}/使用说明.html)
if(EXISTS ${guide_source})
  file(GLOB guide_images CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/images/*)
  add_custom_command(OUTPUT ${guide_page}
                     COMMAND ${TARNWICK_PYTHON} ${PROJECT_SOURCE_DIR}/tools/guide-html
                             ${guide_source} ${guide_page}
                     DEPENDS ${guide_source} ${guide_images} ${PROJECT_SOURCE_DIR}/tools/guide-html
                     COMMENT "Making the user guide's page")
  add_custom_target(user_guide ALL DEPENDS ${guide_page})
  install(FILES ${guide_page} DESTINATION .)
else()
  install(CODE "message(FATAL_ERROR \"${guide_source} is missing: a release holds the guide\")")
endif()
install(TARGETS Tarnwick TarnwickConsole RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tarnwick)
set(CPACK_PACKAGE_FILE_NAME Tarnwick-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
# CPack's zip holds each file's time and the staging folder's order: rewritten afterwards.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageFinish.cmake)
set(CPACK_TARNWICK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_TARNWICK_PYTHON ${TARNWICK_PYTHON})
include(CPack)
