# Builds the probe target TARGET in BUILD and expects its compilation to
# fail for want of HEADER (when HEADER is given) or to succeed (when not).
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD}" --target "${TARGET}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT HEADER)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the commands headers do not compile in a front end's place:\n${output}")
  endif()
  return()
endif()
if(status EQUAL 0)
  message(FATAL_ERROR "${HEADER} compiled in a front end's place")
endif()
# g++: "HEADER: No such file or directory"; clang: "'HEADER' file not found".
string(FIND "${output}" "${HEADER}: No such file or directory" at_gcc)
string(FIND "${output}" "'${HEADER}' file not found" at_clang)
if(at_gcc EQUAL -1 AND at_clang EQUAL -1)
  message(FATAL_ERROR "the probe failed, but not for want of ${HEADER}:\n${output}")
endif()
