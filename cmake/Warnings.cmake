# Project warning flags, applied per target so that third-party code is not affected.
function(logmapper_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                         -Wno-unused-parameter)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # -Wrestrict: g++ 12 at -O3 warns falsely inside libstdc++'s string copies.
    target_compile_options(${target} PRIVATE -Wshadow=local -Wno-restrict)
  endif()
  if(LOGMAPPER_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A GoogleTest executable registered with CTest. Tests are listed when ctest runs,
# so building stays cheap.
function(logmapper_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  logmapper_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "TZ=Europe/Berlin")
endfunction()
