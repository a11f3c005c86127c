# oscpack 1.1.0 for every build, compiled from Debian's source package (with
# Debian's patches applied) and then from our own series in patches/oscpack,
# each patch explained in its header. The package is fetched with apt-get
# source into the build directory; the patched copy beside it is what the
# build compiles and what our code includes. Provides Oscpack::oscpack.
set(oscpack_fetch_dir ${CMAKE_BINARY_DIR}/_deps/oscpack)
set(oscpack_source_dir ${oscpack_fetch_dir}/oscpack-1.1.0)
set(oscpack_patched_dir ${oscpack_fetch_dir}/patched)
set(oscpack_patches_dir ${PROJECT_SOURCE_DIR}/patches/oscpack)

if(NOT EXISTS ${oscpack_source_dir}/osc/OscTypes.cpp)
  file(MAKE_DIRECTORY ${oscpack_fetch_dir})
  message(STATUS "Fetching oscpack's Debian source package into ${oscpack_fetch_dir}")
  execute_process(
    COMMAND apt-get source -q -o APT::Sandbox::User=root oscpack
    WORKING_DIRECTORY ${oscpack_fetch_dir}
    RESULT_VARIABLE oscpack_fetch_result
    OUTPUT_QUIET)
  if(NOT oscpack_fetch_result EQUAL 0 OR NOT EXISTS ${oscpack_source_dir}/osc/OscTypes.cpp)
    message(FATAL_ERROR "apt-get source oscpack failed: it needs dpkg-dev and a deb-src "
                        "entry (scripts/install-deps adds both)")
  endif()
endif()

# The patches were made against these files of Debian's 1.1.0-3; another
# revision may need other patches, so it stops the build rather than being
# patched by guesswork.
set(oscpack_known_files
  osc/OscTypes.h b9a185edde81a46fedb788803132c7385c55f2847da74271eb9f5f8562bf5ed7
  ip/UdpSocket.h 812272f859246e6b5b5bf0084ead98c53ff63c99fdb4366c4675f73bec5883f7
  ip/posix/UdpSocket.cpp ca42a587c75195afb4444b2ff1ac9476ff8cfee1afe4d16483ed0a931694f4e9
  ip/win32/UdpSocket.cpp 8c69e93040a38eed0ce9cd6695311d8e927bad2b807b928bd6f6b16d66fb7594)
while(oscpack_known_files)
  list(POP_FRONT oscpack_known_files oscpack_file oscpack_expected)
  file(SHA256 ${oscpack_source_dir}/${oscpack_file} oscpack_actual)
  if(NOT oscpack_actual STREQUAL oscpack_expected)
    message(FATAL_ERROR "oscpack's ${oscpack_file} in ${oscpack_source_dir} is not the one "
                        "patches/oscpack was made for (Debian's oscpack 1.1.0-3)")
  endif()
endwhile()

file(STRINGS ${oscpack_patches_dir}/series oscpack_series REGEX "^[^#]")
set(oscpack_stamp_text "")
foreach(patch IN LISTS oscpack_series)
  file(SHA256 ${oscpack_patches_dir}/${patch} patch_hash)
  string(APPEND oscpack_stamp_text "${patch} ${patch_hash}\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${oscpack_patches_dir}/${patch})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${oscpack_patches_dir}/series)

# The copy is made anew whenever the series changes. Debian's files end their
# lines in CR LF; the copy ends them in LF, as the patches do.
set(oscpack_stamp ${oscpack_patched_dir}/.series)
set(oscpack_stamp_found "")
if(EXISTS ${oscpack_stamp})
  file(READ ${oscpack_stamp} oscpack_stamp_found)
endif()
if(NOT oscpack_stamp_found STREQUAL oscpack_stamp_text)
  find_program(PATCH_PROGRAM patch REQUIRED)
  file(REMOVE_RECURSE ${oscpack_patched_dir})
  file(GLOB_RECURSE oscpack_files RELATIVE ${oscpack_source_dir}
    ${oscpack_source_dir}/osc/* ${oscpack_source_dir}/ip/*)
  foreach(oscpack_file IN LISTS oscpack_files)
    file(READ ${oscpack_source_dir}/${oscpack_file} oscpack_text)
    string(REPLACE "\r\n" "\n" oscpack_text "${oscpack_text}")
    file(WRITE ${oscpack_patched_dir}/${oscpack_file} "${oscpack_text}")
  endforeach()
  foreach(patch IN LISTS oscpack_series)
    execute_process(
      COMMAND ${PATCH_PROGRAM} -p1 --batch --forward --fuzz=0 --no-backup-if-mismatch --quiet
              -i ${oscpack_patches_dir}/${patch}
      WORKING_DIRECTORY ${oscpack_patched_dir}
      RESULT_VARIABLE patch_result
      OUTPUT_VARIABLE patch_output
      ERROR_VARIABLE patch_output)
    if(NOT patch_result EQUAL 0)
      message(FATAL_ERROR "patches/oscpack/${patch} does not apply:\n${patch_output}")
    endif()
  endforeach()
  file(WRITE ${oscpack_stamp} "${oscpack_stamp_text}")
  message(STATUS "oscpack patched with ${oscpack_series}")
endif()

if(WIN32)
  set(oscpack_platform win32)
else()
  set(oscpack_platform posix)
endif()
add_library(oscpack STATIC
  ${oscpack_patched_dir}/osc/OscOutboundPacketStream.cpp
  ${oscpack_patched_dir}/osc/OscPrintReceivedElements.cpp
  ${oscpack_patched_dir}/osc/OscReceivedElements.cpp
  ${oscpack_patched_dir}/osc/OscTypes.cpp
  ${oscpack_patched_dir}/ip/IpEndpointName.cpp
  ${oscpack_patched_dir}/ip/${oscpack_platform}/NetworkingUtils.cpp
  ${oscpack_patched_dir}/ip/${oscpack_platform}/UdpSocket.cpp
)
target_include_directories(oscpack SYSTEM PUBLIC ${oscpack_patched_dir})
# Linked into the shared library on Linux.
set_target_properties(oscpack PROPERTIES POSITION_INDEPENDENT_CODE ON)
# Not our code: its own warnings are not ours to fix.
target_compile_options(oscpack PRIVATE -w)
if(WIN32)
  target_link_libraries(oscpack PUBLIC ws2_32 winmm)
else()
  target_link_libraries(oscpack PUBLIC Threads::Threads)
endif()
add_library(Oscpack::oscpack ALIAS oscpack)
