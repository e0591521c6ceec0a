# zor_add_library(NAME DEPS...) builds one static library from every .cpp in the calling folder
# (the gui/ subfolder excluded: Qt pages live in their own targets).
function(zor_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/virtual/*.cpp)
  if(NOT sources)
    # A layer whose first sources have not landed yet still gives a linkable target.
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "namespace { [[maybe_unused]] int kEmpty = 0; }\n")
    set(sources ${stub})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE zor_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# zor_add_test(NAME LABEL DEPS...) builds one GoogleTest program from every .cpp in the calling
# folder and registers each test case with ctest under LABEL.
#
# PCH HEADERS... precompiles, besides the given headers, those nearly every test file includes
# (GoogleTest, the JSON library, the standard containers; Qt's widgets and QTest for gui tests):
# most of a test file's compile time is spent parsing them. Worth it for programs of many files
# only, since the precompiled header itself costs as much as a few files.
function(zor_add_test name label)
  cmake_parse_arguments(ARG "" "" "DEPS;PCH" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock zor_warnings zor_testsupport)
  set(pch <gtest/gtest.h> <gmock/gmock.h> <nlohmann/json.hpp> <filesystem> <functional> <map> <memory> <string>
      <vector>)
  if(label STREQUAL "gui")
    list(APPEND pch <QTest> <QWidget> <QSignalSpy>)
  endif()
  if(ARG_PCH)
    target_precompile_headers(${name} PRIVATE ${pch} ${ARG_PCH})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${label} ENVIRONMENT "ZOR_SOURCE_DIR=${PROJECT_SOURCE_DIR};ZOR_BUILD_DIR=${PROJECT_BINARY_DIR}"
    DISCOVERY_TIMEOUT 30)
endfunction()
