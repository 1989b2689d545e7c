# Puts the list of commands, as qm5083-commands-roff prints it, in place of @QM5083_COMMANDS@ in the
# manual page: cmake -DIN=... -DOUT=... -DGENERATOR=... -P fill_commands.cmake
execute_process(COMMAND "${GENERATOR}" OUTPUT_VARIABLE commands RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed: ${result}")
endif()
file(READ "${IN}" page)
string(REPLACE "@QM5083_COMMANDS@\n" "${commands}" page "${page}")
file(WRITE "${OUT}" "${page}")
