# One static library per subsystem folder, made of every source file in it
# except the program entry point (main.cpp).
function(ferrow_subsystem_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# One test executable per test source file (tests/<folder>/<Name>Test.cpp),
# registered with CTest case by case.
function(ferrow_add_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*Test.cpp)
  foreach(source IN LISTS test_sources)
    get_filename_component(stem ${source} NAME_WE)
    set(target ${folder}_${stem})
    add_executable(${target} ${source})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} ferrow_testsupport GTest::gtest_main GTest::gmock)
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 240 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()
