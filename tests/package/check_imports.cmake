# Fails unless every DLL the file imports is one Windows itself provides, so the
# program runs as a single copied file. With -DLOADED_ON_FIRST_USE=a.dll,b.dll it
# also fails when the file imports one of those at load time: they are meant to
# be loaded only when first called.
set(system_dlls advapi32.dll comctl32.dll comdlg32.dll gdi32.dll gdiplus.dll kernel32.dll msvcrt.dll ole32.dll
    oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll winmm.dll msacm32.dll)
string(REPLACE "," ";" LOADED_ON_FIRST_USE "${LOADED_ON_FIRST_USE}")
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${FILE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" entries "${dump}")
if(NOT entries)
  message(FATAL_ERROR "no imports found in ${FILE}")
endif()
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "DLL Name: *" "" dll "${entry}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  list(FIND system_dlls ${dll} found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${FILE} imports ${dll}, which is not a system DLL")
  endif()
  list(FIND LOADED_ON_FIRST_USE ${dll} lazy)
  if(NOT lazy EQUAL -1)
    message(FATAL_ERROR "${FILE} loads ${dll} with itself; it should load on first use")
  endif()
  message(STATUS "import: ${dll}")
endforeach()
