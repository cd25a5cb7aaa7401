# One warning set for product code and tests alike.
function(template_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- $<$<BOOL:${TEMPLATE_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wnon-virtual-dtor -Wcast-qual -Wformat=2 $<$<BOOL:${TEMPLATE_WERROR}>:-Werror>)
  endif()
endfunction()
