# libjpeg (decompression only), for the window framework and the movie engine.
# The mingw builds use the static libjpeg-turbo that scripts/build-libjpeg
# makes for each architecture; other builds (native, MSVC with vcpkg) find
# theirs through the system or their own toolchain.
if(TARGET JPEG::JPEG)
  return()
endif()
if(MINGW)
  if(DEFINED ENV{TEMPLATE_CACHE} AND NOT "$ENV{TEMPLATE_CACHE}" STREQUAL "")
    set(libjpeg_cache "$ENV{TEMPLATE_CACHE}")
  else()
    set(libjpeg_cache "$ENV{HOME}/.cache/template")
  endif()
  set(TEMPLATE_LIBJPEG_ROOT "${libjpeg_cache}/libjpeg-turbo/${CMAKE_SYSTEM_PROCESSOR}" CACHE PATH
      "libjpeg-turbo install folder for this architecture (scripts/build-libjpeg)")
  if(NOT EXISTS "${TEMPLATE_LIBJPEG_ROOT}/include/jpeglib.h")
    message(FATAL_ERROR "No libjpeg in ${TEMPLATE_LIBJPEG_ROOT}: run scripts/build-libjpeg ${CMAKE_SYSTEM_PROCESSOR}"
                        " (or set TEMPLATE_LIBJPEG_ROOT).")
  endif()
  # The toolchain confines searches to the mingw root; the cache folder is a second root.
  list(APPEND CMAKE_FIND_ROOT_PATH "${TEMPLATE_LIBJPEG_ROOT}")
  list(APPEND CMAKE_PREFIX_PATH "${TEMPLATE_LIBJPEG_ROOT}")
endif()
find_package(JPEG REQUIRED)
