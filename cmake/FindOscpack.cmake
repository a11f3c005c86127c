# Finds oscpack 1.1.0 as Debian packages it (liboscpack-dev): headers under
# oscpack/, library oscpack. Defines the imported target Oscpack::oscpack.
find_path(Oscpack_INCLUDE_DIR NAMES oscpack/osc/OscOutboundPacketStream.h)
find_library(Oscpack_LIBRARY NAMES oscpack)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Oscpack
  REQUIRED_VARS Oscpack_LIBRARY Oscpack_INCLUDE_DIR
  REASON_FAILURE_MESSAGE "install the Debian package liboscpack-dev (scripts/install-deps does)")

if(Oscpack_FOUND AND NOT TARGET Oscpack::oscpack)
  add_library(Oscpack::oscpack UNKNOWN IMPORTED)
  set_target_properties(Oscpack::oscpack PROPERTIES
    IMPORTED_LOCATION "${Oscpack_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Oscpack_INCLUDE_DIR}/oscpack")
endif()
mark_as_advanced(Oscpack_INCLUDE_DIR Oscpack_LIBRARY)
