# Shared target settings and the one helper that registers a test.

# pellix_target_defaults(<target>): C++17 and the project's warnings, kept private.
function(pellix_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_17)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                              -Wno-sign-conversion)
  endif()
endfunction()

# pellix_add_test(<name> SOURCES <files...> LIBS <targets...> [GTEST_MAIN] [QT])
# Builds one test program and registers it with CTest under <name>.
function(pellix_add_test name)
  cmake_parse_arguments(T "GTEST_MAIN;QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  pellix_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  if(T_GTEST_MAIN)
    if(NOT TARGET GTest::gtest)  # a cross build makes them from source (PellixCrossGTest)
      find_package(GTest REQUIRED)
    endif()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  if(T_QT)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    target_link_libraries(${name} PRIVATE Qt6::Test)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  # DS images the user running the tests keeps in a folder of their own must not change what
  # the tests see: the folder named is one that is never made.
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
               "XDG_DATA_HOME=${PROJECT_BINARY_DIR}/tests/no-user-folder")
  if(T_QT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
