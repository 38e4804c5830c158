# Fails unless the host imports only system libraries that every 32-bit Windows has. A C
# runtime DLL slipping back in would stop the installer on the systems that lack one before it
# could show a word.
#
#   cmake -DOBJDUMP=... -DHOST=scrsetup.exe -P host_imports.cmake
cmake_minimum_required(VERSION 3.20)
set(allowed ADVAPI32.DLL COMDLG32.DLL KERNEL32.DLL OLE32.DLL SHELL32.DLL USER32.DLL)

execute_process(COMMAND ${OBJDUMP} -p ${HOST} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${HOST}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
set(imported)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: *" "" name "${line}")
    string(STRIP "${name}" name)
    string(TOUPPER "${name}" name)
    list(APPEND imported ${name})
endforeach()

if(NOT "KERNEL32.DLL" IN_LIST imported)
    message(FATAL_ERROR "no import table found in ${HOST}")
endif()
foreach(name IN LISTS imported)
    if(NOT name IN_LIST allowed)
        message(FATAL_ERROR "${HOST} imports ${name}; allowed: ${allowed}")
    endif()
endforeach()
message(STATUS "imports: ${imported}")
