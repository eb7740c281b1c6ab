# cmake -DEXECUTABLE=<exe> -DOBJDUMP=<objdump> -P CheckImports.cmake
# Fails when the executable imports a DLL outside the system's own: those of every Windows
# from 7 on (the C runtime msvcrt.dll included).
cmake_minimum_required(VERSION 3.25)
set(system_dlls
  advapi32.dll bcrypt.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll
  setupapi.dll shell32.dll user32.dll version.dll winmm.dll)

execute_process(COMMAND ${OBJDUMP} -p ${EXECUTABLE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXECUTABLE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no imports found in ${EXECUTABLE}")
endif()
set(foreign)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  list(APPEND imported ${dll})
  if(NOT dll IN_LIST system_dlls)
    list(APPEND foreign ${dll})
  endif()
endforeach()
message(STATUS "imports: ${imported}")
if(foreign)
  message(FATAL_ERROR "imports DLLs that are not the system's: ${foreign}")
endif()
