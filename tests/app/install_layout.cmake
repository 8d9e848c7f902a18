# Installs the build into a scratch prefix and checks the layout a desktop
# expects: the program in bin/, its translations, launcher entry, MIME type
# and scalable icon under share/. Run by CTest with -DBUILD_DIR=...
#
# Like every test it writes only into a temporary folder of its own.
# `cmake --install` always writes its install_manifest.txt into the build
# folder, so the build's install script runs from a copy whose manifest
# goes to the scratch folder instead.
if(IS_DIRECTORY "$ENV{TMPDIR}")
  set(temp "$ENV{TMPDIR}")
else()
  set(temp "/tmp")
endif()
string(RANDOM LENGTH 8 suffix)
set(scratch "${temp}/vistrelle-install-${suffix}")
set(prefix "${scratch}/prefix")
set(failures "")

file(READ "${BUILD_DIR}/cmake_install.cmake" script)
set(manifest "file(WRITE \"${BUILD_DIR}/\${CMAKE_INSTALL_MANIFEST}\"")
string(FIND "${script}" "${manifest}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the install script writes its manifest elsewhere than expected: "
                      "look at ${BUILD_DIR}/cmake_install.cmake")
endif()
string(REPLACE "${manifest}" "file(WRITE \"${scratch}/\${CMAKE_INSTALL_MANIFEST}\"" script "${script}")
file(WRITE "${scratch}/cmake_install.cmake" "${script}")

file(TIMESTAMP "${BUILD_DIR}/install_manifest.txt" manifestBefore "%Y-%m-%dT%H:%M:%S")
execute_process(COMMAND "${CMAKE_COMMAND}" "-DCMAKE_INSTALL_PREFIX=${prefix}" -P "${scratch}/cmake_install.cmake"
                WORKING_DIRECTORY "${scratch}"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  string(APPEND failures "the installation failed: ${errors}\n")
endif()
file(TIMESTAMP "${BUILD_DIR}/install_manifest.txt" manifestAfter "%Y-%m-%dT%H:%M:%S")
if(NOT manifestAfter STREQUAL manifestBefore)
  string(APPEND failures "install_manifest.txt written into the build folder\n")
endif()
if(NOT EXISTS "${scratch}/install_manifest.txt")
  string(APPEND failures "no install manifest in the scratch folder\n")
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
file(REMOVE_RECURSE "${scratch}")
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "install layout ok")
