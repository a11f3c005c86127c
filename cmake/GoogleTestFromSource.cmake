# GoogleTest for the Windows build, compiled with the cross toolchain from
# the sources that Debian's googletest package installs. Provides
# GTest::gtest and GTest::gtest_main, as find_package(GTest) does natively.
set(googletest_source_dir /usr/src/googletest)
if(NOT EXISTS ${googletest_source_dir}/CMakeLists.txt)
  message(FATAL_ERROR "install the Debian package googletest (scripts/install-deps does)")
endif()
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${googletest_source_dir} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
foreach(gtest_target gtest gtest_main)
  # Its own warnings are not ours to fix.
  set_target_properties(${gtest_target} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
  target_compile_options(${gtest_target} PRIVATE -w)
endforeach()
