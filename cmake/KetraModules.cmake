# Each source folder is one static module library (ketra_<name>) built from the
# .cpp files directly in that folder. Modules name the modules they depend on, so a
# test of one module builds only what it needs. ketra::core bundles the core modules
# into the shared library HOOPS_KETRA.
set(KETRA_SRC_DIR ${PROJECT_SOURCE_DIR}/src)
set_property(GLOBAL PROPERTY KETRA_CORE_MODULES "")

function(ketra_module name folder)
  cmake_parse_arguments(ARG "NOT_CORE" "" "DEPS;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${KETRA_SRC_DIR}/${folder}/*.cpp)
  if(NOT sources)
    # An empty folder still gets a target so dependants link against it.
    set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(ketra_${name} STATIC ${sources})
  target_include_directories(ketra_${name} PUBLIC
    $<BUILD_INTERFACE:${KETRA_SRC_DIR}> $<INSTALL_INTERFACE:include/ketra>)
  set(deps "")
  foreach(d IN LISTS ARG_DEPS)
    list(APPEND deps ketra_${d})
  endforeach()
  target_link_libraries(ketra_${name} PUBLIC ${deps} ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  if(NOT ARG_NOT_CORE)
    set_property(GLOBAL APPEND PROPERTY KETRA_CORE_MODULES ketra_${name})
    set_property(GLOBAL APPEND PROPERTY KETRA_CORE_EXTERNAL_LIBS ${ARG_PUBLIC_LIBS} ${ARG_PRIVATE_LIBS})
  endif()
endfunction()

# Test executable for one module: every *.cpp in tests/<folder>, discovered by CTest.
function(ketra_module_tests name folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(ketra_${name}_tests ${sources})
  target_include_directories(ketra_${name}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(ketra_${name}_tests PRIVATE ketra_${name} ${ARG_LIBS}
    GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(ketra_${name}_tests PRIVATE
    KETRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KETRA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(ketra_${name}_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${name} ENVIRONMENT "KETRA_TEST=1")
endfunction()
