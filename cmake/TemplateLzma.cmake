# xz-utils' liblzma (the LZMA decoder for ZWS movies). The mingw builds use the
# static library that scripts/build-liblzma makes for each architecture; other
# builds (native, MSVC with vcpkg) find theirs through the system or their own
# toolchain.
if(TARGET LibLZMA::LibLZMA)
  return()
endif()
if(MINGW)
  if(DEFINED ENV{TEMPLATE_CACHE} AND NOT "$ENV{TEMPLATE_CACHE}" STREQUAL "")
    set(liblzma_cache "$ENV{TEMPLATE_CACHE}")
  else()
    set(liblzma_cache "$ENV{HOME}/.cache/template")
  endif()
  set(TEMPLATE_LIBLZMA_ROOT "${liblzma_cache}/liblzma/${CMAKE_SYSTEM_PROCESSOR}" CACHE PATH
      "liblzma install folder for this architecture (scripts/build-liblzma)")
  if(NOT EXISTS "${TEMPLATE_LIBLZMA_ROOT}/include/lzma.h")
    message(FATAL_ERROR "No liblzma in ${TEMPLATE_LIBLZMA_ROOT}: run scripts/build-liblzma ${CMAKE_SYSTEM_PROCESSOR}"
                        " (or set TEMPLATE_LIBLZMA_ROOT).")
  endif()
  # The toolchain confines searches to the mingw root; the cache folder is a second root.
  list(APPEND CMAKE_FIND_ROOT_PATH "${TEMPLATE_LIBLZMA_ROOT}")
  list(APPEND CMAKE_PREFIX_PATH "${TEMPLATE_LIBLZMA_ROOT}")
endif()
find_package(LibLZMA REQUIRED)
if(MINGW)
  # The static library: its declarations must not ask for DLL imports.
  set_property(TARGET LibLZMA::LibLZMA APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
endif()
