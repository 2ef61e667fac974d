# scopemark_add_test(NAME name SOURCES ... LIBS ... [QT])
# One GoogleTest executable; its cases are registered with CTest one by one.
# QT marks tests that need a QApplication; they run on the offscreen platform. Nothing is
# built without BUILD_TESTING.
function(scopemark_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT BUILD_TESTING OR (T_QT AND NOT SCOPEMARK_GUI))
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Threads::Threads)
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Widgets Qt6::Test)
    target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${T_NAME} PRIVATE
    SCOPEMARK_SHARED_DIR="${SCOPEMARK_SHARED_DIR}"
    SCOPEMARK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
