# GoogleTest for both builds and one helper that declares a test executable.
include(GoogleTest)

if(WIN32)
  # The Windows build compiles GoogleTest from the Debian source package.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(TVDE_GTEST_LIBS gmock gtest_main)
else()
  find_package(GTest REQUIRED)
  set(TVDE_GTEST_LIBS GTest::gmock GTest::gtest_main)
endif()

# tvde_add_test(<name> SOURCES <files...> [LIBS <targets...>] [PROPERTIES <name value>...])
function(tvde_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tvde_apply_compile_options(${name})
  target_link_libraries(${name} PRIVATE tvde_core tvde_test_support ${ARG_LIBS} ${TVDE_GTEST_LIBS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE POST_BUILD
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
