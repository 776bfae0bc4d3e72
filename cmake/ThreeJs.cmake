# three.js for the WebGL viewer of our HTML pages: the npm package, pinned, fetched once into
# the build tree (npm serves it from its cache when offline; scripts/bootstrap fills the
# cache), bundled into one classic script and compiled into ketra_io.
set(KETRA_THREE_VERSION 0.187.0)
set(KETRA_VENDOR_DIR ${PROJECT_BINARY_DIR}/vendor)
set(three_tgz ${KETRA_VENDOR_DIR}/three-${KETRA_THREE_VERSION}.tgz)
set(three_dir ${KETRA_VENDOR_DIR}/three-${KETRA_THREE_VERSION})
set(KETRA_THREE_BUNDLE ${KETRA_VENDOR_DIR}/three-${KETRA_THREE_VERSION}.bundle.js)

find_program(KETRA_NODE NAMES node nodejs)
find_program(KETRA_NPM npm)
if(NOT KETRA_NODE OR NOT KETRA_NPM)
  message(FATAL_ERROR "node and npm are needed to vendor three.js for the HTML pages: run scripts/bootstrap")
endif()
if(NOT EXISTS ${three_tgz})
  file(MAKE_DIRECTORY ${KETRA_VENDOR_DIR})
  execute_process(
    COMMAND ${KETRA_NPM} pack three@${KETRA_THREE_VERSION} --prefer-offline --silent
            --pack-destination ${KETRA_VENDOR_DIR}
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE npm_error)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${three_tgz})
    message(FATAL_ERROR "npm could not fetch three@${KETRA_THREE_VERSION} (${npm_error}); "
                        "run scripts/bootstrap once with network access")
  endif()
endif()
if(NOT EXISTS ${three_dir}/package/build/three.core.js)
  file(ARCHIVE_EXTRACT INPUT ${three_tgz} DESTINATION ${three_dir}
       PATTERNS package/build/three.core.js package/build/three.module.js package/LICENSE)
endif()

add_custom_command(
  OUTPUT ${KETRA_THREE_BUNDLE}
  COMMAND ${KETRA_NODE} ${PROJECT_SOURCE_DIR}/cmake/bundle-three.js
          ${three_dir}/package/build/three.core.js ${three_dir}/package/build/three.module.js
          ${three_dir}/package/LICENSE ${KETRA_THREE_BUNDLE}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/bundle-three.js ${three_tgz}
  COMMENT "Bundling three.js ${KETRA_THREE_VERSION} for the HTML viewer"
  VERBATIM)
add_custom_target(ketra_three_bundle DEPENDS ${KETRA_THREE_BUNDLE})
