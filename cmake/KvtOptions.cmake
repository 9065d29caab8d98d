# Compiler settings shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)

if(WIN32)
  # Windows 7 and later (CancelIoEx); no min/max macros from <windows.h>.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

if(MINGW)
  # Programs carry the compiler's runtime (libstdc++, libgcc, winpthread) inside, so no DLL of it
  # has to travel with kvt27ctl.exe or a test; a program whose KVT_SHARED_RUNTIME property is set
  # (the window) uses the runtime DLLs, as the Qt DLLs beside it do: one runtime in the process.
  set(_kvt_static_runtime
    $<AND:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>,$<NOT:$<BOOL:$<TARGET_PROPERTY:KVT_SHARED_RUNTIME>>>>)
  add_link_options($<${_kvt_static_runtime}:-static> $<${_kvt_static_runtime}:-static-libgcc>
    $<${_kvt_static_runtime}:-static-libstdc++>)
endif()

if(KVT_SANITIZE)
  set(_kvt_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_kvt_san} -g -O1)
  add_link_options(${_kvt_san})
endif()

# kvt_warnings(target): the warnings every target of the project treats as errors.
function(kvt_warnings target)
  target_compile_options(${target} PRIVATE -Werror=return-type)
endfunction()

# Hardening of the optimised builds that users get (the package among them): checked buffer
# functions, stack protector, read-only relocations bound at start, position-independent programs.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT KVT_SANITIZE)
  set(_kvt_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
  add_compile_options($<${_kvt_optimised}:-U_FORTIFY_SOURCE> $<${_kvt_optimised}:-D_FORTIFY_SOURCE=2>
    $<${_kvt_optimised}:-fstack-protector-strong> $<${_kvt_optimised}:-fstack-clash-protection>)
  add_link_options($<${_kvt_optimised}:LINKER:-z,relro> $<${_kvt_optimised}:LINKER:-z,now>)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
endif()
