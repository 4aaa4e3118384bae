# Warnings, sanitizers and Windows definitions shared by every target of the project.
function(tvde_apply_compile_options target)
  # Compiler warnings only: a resource script of the target goes to the resource compiler.
  target_compile_options(${target} PRIVATE
                         "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra;-Wshadow;-Wnon-virtual-dtor>")
  if(TVDE_WERROR)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE _WIN32_WINNT=0x0A00 WINVER=0x0A00
                                                NOMINMAX WIN32_LEAN_AND_MEAN)
  endif()
endfunction()

if(TVDE_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TVDE_STATIC_EXECUTABLES AND NOT WIN32)
  add_link_options(-static)
endif()

# Windows executables: the load configuration that keeps the loader from taking the imported
# DLLs from the program's own folder, pointed to after the link.
function(tvde_harden_dll_search target)
  if(WIN32)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/base/win/load_config_win.cpp)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND python3 ${PROJECT_SOURCE_DIR}/cmake/pe_load_config.py set $<TARGET_FILE:${target}>
              ${CMAKE_NM}
      VERBATIM)
  endif()
endfunction()
