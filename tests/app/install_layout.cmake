# Installs the build into a scratch prefix and checks the layout a desktop
# expects: the program in bin/, its translations, launcher entry, MIME type
# and scalable icon under share/. Run by CTest with -DBUILD_DIR=... -DSCRATCH=...
string(RANDOM LENGTH 8 suffix)
set(prefix "${SCRATCH}/install-${suffix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
set(failures "")
if(NOT result EQUAL 0)
  string(APPEND failures "cmake --install failed: ${errors}\n")
endif()
foreach(path
    bin/vistrelle
    share/vistrelle/langues/english.qm
    share/vistrelle/langues/francais.qm
    share/applications/vistrelle.desktop
    share/mime/packages/vistrelle-mime.xml
    share/icons/hicolor/scalable/apps/vistrelle.svg)
  if(NOT EXISTS "${prefix}/${path}")
    string(APPEND failures "missing ${path}\n")
  endif()
endforeach()
if(EXISTS "${prefix}/bin/langues")
  string(APPEND failures "translations under bin/\n")
endif()
if(EXISTS "${prefix}/share/icons/hicolor/scalable/apps/vistrelle.svg")
  file(READ "${prefix}/share/icons/hicolor/scalable/apps/vistrelle.svg" icon LIMIT 200)
  if(NOT icon MATCHES "<svg")
    string(APPEND failures "the icon is no SVG\n")
  endif()
endif()
file(REMOVE_RECURSE "${prefix}")
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "install layout ok")
