# Windows tests (64-bit build, run under wine64 by tests/wine/run.sh): GoogleTest
# is built from Debian's sources with the same cross compiler.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(win_host_test win_host_test.cpp ${CMAKE_SOURCE_DIR}/tools/display_library.cpp)
target_include_directories(win_host_test PRIVATE ${CMAKE_SOURCE_DIR}/tools ${CMAKE_SOURCE_DIR}/driver)
target_link_libraries(win_host_test PRIVATE serport serport_platform)
target_link_libraries(win_host_test PRIVATE gtest_main)
target_link_options(win_host_test PRIVATE -static)
add_dependencies(win_host_test zavvfd)
