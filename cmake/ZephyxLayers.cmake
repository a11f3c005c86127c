# Each source folder is a layer with an include root of its own, which holds
# only that folder (as a link). A target sees a folder's headers only by
# linking its layer, so an include that runs up a layer does not build.
function(zephyx_layer_include_root target folder)
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# Warnings for the library's own code.
function(zephyx_product_warnings target)
  target_compile_options(${target} PRIVATE ${ZEPHYX_PRODUCT_WARNINGS})
endfunction()
