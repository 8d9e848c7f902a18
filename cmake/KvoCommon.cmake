# Settings every target of the project shares.
add_library(kvo_common_cfg INTERFACE)
target_compile_definitions(kvo_common_cfg INTERFACE
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_FOREACH
  QT_NO_URL_CAST_FROM_STRING
  QT_STRICT_ITERATORS
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_DISABLE_DEPRECATED_BEFORE=0x060000
  VISTRELLE_VERSION="${PROJECT_VERSION}")
target_compile_options(kvo_common_cfg INTERFACE -Wall -Wextra -Woverloaded-virtual)

# kvo_add_test(NAME SOURCES ... LIBS ... [GUI] [TRANSLATIONS])
# One QtTest program per area. Tests run under the xvfb-run/dbus-run-session
# wrapper of the test command; GUI-less ones also run headless as they are.
# TRANSLATIONS: the test reads the client's translations from the build
# tree, so building it brings them up to date with the .ts files.
function(kvo_add_test name)
  cmake_parse_arguments(T "GUI;TRANSLATIONS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_TRANSLATIONS)
    add_dependencies(${name} vistrelle_lrelease)
  endif()
  target_link_libraries(${name} PRIVATE kvo_common_cfg Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_LOGGING_RULES=*.debug=false;qt.qpa.*=false"
          "VISTRELLE_DEVSERVER=$<TARGET_FILE:vistrelle-devserver>"
          "VISTRELLE_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
