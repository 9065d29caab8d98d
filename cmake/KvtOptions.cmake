# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)

if(WIN32)
  # Windows 7 and later (CancelIoEx); no min/max macros from <windows.h>.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

if(KVT_SANITIZE)
  set(_kvt_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_kvt_san} -g -O1)
  add_link_options(${_kvt_san})
endif()

# kvt_library(name SOURCES ... [QT] [LIBS ...])
function(kvt_warnings target)
  target_compile_options(${target} PRIVATE -Werror=return-type)
endfunction()
