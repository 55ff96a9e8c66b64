# The static libraries of one subsystem folder.
#
# Without CORE, one library `name` of every source file in the folder except the program
# entry point (main.cpp), for folders that need Qt Core only.
#
# With CORE (stems: each names <stem>.cpp and/or <stem>.h), two libraries: `name`_core
# of those files, and `name`_ui of every other file in the folder, which links the core
# one. A new window file thus lands in the UI library by itself; a file moves to the core
# only by being named. The core library gets Qt Core and the core libraries of other
# folders only, so a widget header included there fails to compile. The UI library is
# made only when FERROW_APPS is on.
#
#   ferrow_subsystem_library(name [CORE stem...] LIBS core-libs... [UI_LIBS ui-libs...])
function(ferrow_subsystem_library name)
  cmake_parse_arguments(ARG "" "" "CORE;LIBS;UI_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")

  foreach(lib IN LISTS ARG_LIBS)
    if(lib MATCHES "^Qt6::(Gui|Widgets|Multimedia)$" OR lib MATCHES "_ui$")
      message(FATAL_ERROR "${name}: ${lib} is a UI library; name it under UI_LIBS")
    endif()
  endforeach()

  if(NOT ARG_CORE)
    _ferrow_static_library(${name} "${sources}" "${ARG_LIBS}")
    return()
  endif()

  set(core_sources)
  foreach(stem IN LISTS ARG_CORE)
    set(found FALSE)
    foreach(ext cpp h)
      set(file ${CMAKE_CURRENT_SOURCE_DIR}/${stem}.${ext})
      if(EXISTS ${file})
        list(APPEND core_sources ${file})
        set(found TRUE)
      endif()
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "${name}: no ${stem}.cpp or ${stem}.h in ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
  endforeach()
  _ferrow_static_library(${name}_core "${core_sources}" "${ARG_LIBS}")

  if(FERROW_APPS)
    set(ui_sources ${sources})
    list(REMOVE_ITEM ui_sources ${core_sources})
    _ferrow_static_library(${name}_ui "${ui_sources}" "${name}_core;${ARG_UI_LIBS}")
  endif()
endfunction()

# A static library of `sources` (an interface library when there are none) that sees the
# project's folders and passes `libs` on to whatever links it.
function(_ferrow_static_library name sources libs)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${libs})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${libs})
  endif()
endfunction()

# One test executable per test source file (tests/<folder>/<Name>Test.cpp), registered
# with CTest case by case. Tests named in CORE_TESTS (by stem, e.g. TransferTest) link
# LIBS and the core test support only; every other test of the folder is a widget test:
# it links UI_LIBS and the widget test support, and is made only when FERROW_APPS is on.
# A folder without UI_LIBS has core tests only.
#
#   ferrow_add_tests(folder LIBS core-libs... [UI_LIBS ui-libs... [CORE_TESTS stem...]])
function(ferrow_add_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS;UI_LIBS;CORE_TESTS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*Test.cpp)
  foreach(stem IN LISTS ARG_CORE_TESTS)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/${stem}.cpp)
      message(FATAL_ERROR "ferrow_add_tests(${folder}): no ${stem}.cpp")
    endif()
  endforeach()
  foreach(source IN LISTS test_sources)
    get_filename_component(stem ${source} NAME_WE)
    if(NOT ARG_UI_LIBS OR stem IN_LIST ARG_CORE_TESTS)
      set(libs ${ARG_LIBS} ferrow_testsupport)
    elseif(FERROW_APPS)
      set(libs ${ARG_UI_LIBS} ferrow_testsupport_widgets)
    else()
      continue()
    endif()
    set(target ${folder}_${stem})
    add_executable(${target} ${source})
    target_link_libraries(${target} PRIVATE ${libs} GTest::gtest_main GTest::gmock)
    # Listed when ctest runs, so a row added to a test's data file is run without a rebuild.
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 240 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()
