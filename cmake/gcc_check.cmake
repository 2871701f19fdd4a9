# A second compiler's warnings on every build: the program and its unit tests
# are built once more with GCC, warnings as errors, as part of this build,
# and the unit tests of that build run as one test.
include(ExternalProject)
find_program(KESTRIM_GXX NAMES g++ REQUIRED)
ExternalProject_Add(kestrim_gcc
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/gcc
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${KESTRIM_GXX}
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DKESTRIM_SANITIZERS=OFF
             -DKESTRIM_GCC_CHECK=OFF
             -DKESTRIM_LINT=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR>
                --target kestrim kestrim_unit_tests
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)
add_test(NAME gcc.unit_tests COMMAND ${CMAKE_BINARY_DIR}/gcc/kestrim_unit_tests)
