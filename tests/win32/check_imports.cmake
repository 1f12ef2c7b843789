# Fails unless every DLL that EXE imports is part of Windows itself.
# cmake -DOBJDUMP=<objdump> -DEXE=<program.exe> -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls
    advapi32.dll comctl32.dll comdlg32.dll gdi32.dll hid.dll kernel32.dll msvcrt.dll
    ole32.dll oleaut32.dll setupapi.dll shell32.dll user32.dll winhttp.dll ws2_32.dll)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} could not read ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
    message(FATAL_ERROR "no imports found in ${EXE}")
endif()
foreach(line IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST system_dlls)
        message(FATAL_ERROR "${EXE} imports ${dll}, which Windows does not provide")
    endif()
    message(STATUS "imports ${dll}")
endforeach()
