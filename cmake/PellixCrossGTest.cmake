# Builds GoogleTest from source for a cross build, where the host's libgtest cannot link,
# and names its targets as find_package(GTest) would, so pellix_add_test works unchanged.
if(TARGET GTest::gtest)
  return()
endif()
if(NOT PELLIX_GTEST_SOURCE_DIR OR NOT EXISTS ${PELLIX_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "cross build: GoogleTest sources not found in '${PELLIX_GTEST_SOURCE_DIR}' "
                      "(Debian: apt-get install googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${PELLIX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)  # newer GoogleTest names them itself
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
