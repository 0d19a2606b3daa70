# Starts (ACTION=start) or stops (ACTION=stop) the wineserver that the Windows tests share,
# for the Wine prefix PREFIX. Start also sets the prefix up, the first time at length.
# Wine's own processes outlive this script, so their output goes to files, never to a pipe
# that ctest would wait on.
cmake_minimum_required(VERSION 3.25)

foreach(variable ACTION WINE WINESERVER PREFIX)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()
if(NOT "$ENV{WINEPREFIX}" STREQUAL "${PREFIX}")
  message(FATAL_ERROR "WINEPREFIX is '$ENV{WINEPREFIX}', expected '${PREFIX}'")
endif()
set(log ${PREFIX}.log)

if(ACTION STREQUAL "start")
  file(MAKE_DIRECTORY ${PREFIX})
  # A server left over from an interrupted run is stopped first.
  execute_process(COMMAND ${WINESERVER} -k INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  execute_process(COMMAND ${WINESERVER} -w INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  execute_process(COMMAND ${WINESERVER} -p
                  INPUT_FILE /dev/null OUTPUT_FILE ${log} ERROR_FILE ${log}.server RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    file(READ ${log}.server text)
    message(FATAL_ERROR "wineserver -p failed (${result}): ${text}")
  endif()
  execute_process(COMMAND ${WINE} wineboot --init
                  INPUT_FILE /dev/null OUTPUT_FILE ${log} ERROR_FILE ${log}.boot RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    file(READ ${log}.boot text)
    message(FATAL_ERROR "wineboot failed (${result}): ${text}")
  endif()
elseif(ACTION STREQUAL "stop")
  execute_process(COMMAND ${WINESERVER} -k INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  execute_process(COMMAND ${WINESERVER} -w INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
else()
  message(FATAL_ERROR "ACTION must be start or stop, not '${ACTION}'")
endif()
