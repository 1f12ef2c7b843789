# Runs PROGRAM with ARGS (a ;-list) and passes when it exits 0 and its
# standard output, trailing white space removed, matches the regular
# expression EXPECT.
#   cmake -DPROGRAM=... -DARGS=... -DEXPECT=... -P check_program_output.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGS} exited with ${status}:\n${output}${errors}")
endif()
if(NOT output MATCHES "${EXPECT}")
    message(FATAL_ERROR "${PROGRAM} ${ARGS} wrote:\n${output}\nexpected to match: ${EXPECT}")
endif()
