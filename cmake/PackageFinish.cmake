# Run by CPack once the zip is made: gives every entry one time and a fixed order, so the
# same commit gives the same bytes, and writes SHA256SUMS beside the zip. The time is
# SOURCE_DATE_EPOCH when set, else the commit's own.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CPACK_TARNWICK_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
                  ERROR_QUIET)
  if(failed OR epoch STREQUAL "")
    set(epoch 0)  # no history: the zip's earliest time
  endif()
endif()
set(sums "")
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${CPACK_TARNWICK_PYTHON} ${CPACK_TARNWICK_SOURCE_DIR}/tools/normalize-zip
                          ${zip} ${epoch}
                  COMMAND_ERROR_IS_FATAL ANY)
  file(SHA256 ${zip} hash)
  get_filename_component(name ${zip} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
# The zip is made in a staging folder and copied out once this has run.
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
