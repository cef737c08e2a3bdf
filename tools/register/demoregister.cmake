# Makes the demo register beside the program once; an existing register is never touched.
if(NOT EXISTS "${REGISTER}")
    execute_process(COMMAND "${TOOL}" init --demo "${REGISTER}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not create the demo register ${REGISTER}")
    endif()
endif()
