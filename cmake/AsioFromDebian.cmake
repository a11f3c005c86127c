# Standalone Asio, header-only, from Debian's libasio-dev, for the TCP
# streams. Its headers are reached through a folder of their own, so that a
# cross build sees them without seeing the rest of /usr/include.
# Provides Asio::asio.
set(asio_header /usr/include/asio.hpp)
if(NOT EXISTS ${asio_header})
  message(FATAL_ERROR "Asio is missing: install the Debian package libasio-dev "
                      "(scripts/install-deps does)")
endif()
set(asio_root ${CMAKE_BINARY_DIR}/_deps/asio/include)
if(NOT EXISTS ${asio_root}/asio.hpp)
  file(MAKE_DIRECTORY ${asio_root})
  file(CREATE_LINK /usr/include/asio.hpp ${asio_root}/asio.hpp SYMBOLIC)
  file(CREATE_LINK /usr/include/asio ${asio_root}/asio SYMBOLIC)
endif()
add_library(asio_headers INTERFACE)
target_include_directories(asio_headers SYSTEM INTERFACE ${asio_root})
target_compile_definitions(asio_headers INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
# ThreadSanitizer does not see fences, and GCC refuses them under it. Asio's
# handler queues are locked, which is what ThreadSanitizer checks; the fences
# only order what a handler wrote before the lock.
if(ZEPHYX_SANITIZE STREQUAL "thread")
  target_compile_definitions(asio_headers INTERFACE ASIO_DISABLE_FENCED_BLOCK)
endif()
target_link_libraries(asio_headers INTERFACE Threads::Threads)
if(WIN32)
  target_link_libraries(asio_headers INTERFACE ws2_32 mswsock)
endif()
add_library(Asio::asio ALIAS asio_headers)
