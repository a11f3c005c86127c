# oscpack 1.1.0 for the Windows build, compiled from Debian's source package
# (with Debian's patches applied), fetched with apt-get source into the build
# directory. Provides the same Oscpack::oscpack target as FindOscpack.cmake.
set(oscpack_fetch_dir ${CMAKE_BINARY_DIR}/_deps/oscpack)
set(oscpack_source_dir ${oscpack_fetch_dir}/oscpack-1.1.0)

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

# oscpack takes every x86_64 target for LP64 and makes its 64-bit integers
# `long`, which 64-bit Windows keeps at 32 bits: int64 and time-tag
# arguments would be cut short. Its headers are read by our code as well, so
# the fetched copy is corrected in place.
set(oscpack_types_header ${oscpack_source_dir}/osc/OscTypes.h)
set(oscpack_lp64_test "#elif defined(__x86_64__) || defined(_M_X64)\n")
set(oscpack_lp64_only "#elif (defined(__x86_64__) || defined(_M_X64)) && !defined(_WIN64)\n")
file(READ ${oscpack_types_header} oscpack_types)
string(FIND "${oscpack_types}" "${oscpack_lp64_only}" oscpack_corrected_at)
string(FIND "${oscpack_types}" "${oscpack_lp64_test}" oscpack_lp64_at)
if(oscpack_corrected_at EQUAL -1 AND oscpack_lp64_at EQUAL -1)
  message(FATAL_ERROR "oscpack's OscTypes.h is not the one this build knows how to correct")
elseif(oscpack_corrected_at EQUAL -1)
  string(REPLACE "${oscpack_lp64_test}" "${oscpack_lp64_only}" oscpack_types "${oscpack_types}")
  file(WRITE ${oscpack_types_header} "${oscpack_types}")
endif()

add_library(oscpack_win32 STATIC
  ${oscpack_source_dir}/osc/OscOutboundPacketStream.cpp
  ${oscpack_source_dir}/osc/OscPrintReceivedElements.cpp
  ${oscpack_source_dir}/osc/OscReceivedElements.cpp
  ${oscpack_source_dir}/osc/OscTypes.cpp
  ${oscpack_source_dir}/ip/IpEndpointName.cpp
  ${oscpack_source_dir}/ip/win32/NetworkingUtils.cpp
  ${oscpack_source_dir}/ip/win32/UdpSocket.cpp
)
target_include_directories(oscpack_win32 SYSTEM PUBLIC ${oscpack_source_dir})
# Not our code: its own warnings are not ours to fix.
target_compile_options(oscpack_win32 PRIVATE -w)
target_link_libraries(oscpack_win32 PUBLIC ws2_32 winmm)
add_library(Oscpack::oscpack ALIAS oscpack_win32)
