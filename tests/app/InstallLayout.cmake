# Installs the build into a fresh prefix and checks the distribution:
# cmake -DBUILD_DIR=<build> -DPREFIX=<folder> -P InstallLayout.cmake
# The prefix holds a blank on purpose: the desktop entry must quote it.

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed:\n${out}")
endif()

set(expected
  bin/quillory
  bin/quillory-extract
  bin/Lang.ini
  bin/Help_eng.pdf
  bin/Help_fra.pdf
  share/applications/quillory.desktop
  share/icons/hicolor/256x256/apps/quillory.png
  share/icons/hicolor/48x48/apps/quillory.png
  share/metainfo/org.example.quillory.metainfo.xml
  share/man/man1/quillory.1.gz
  share/man/man1/quillory-extract.1.gz
  share/bash-completion/completions/quillory-extract)
foreach(file ${expected})
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "missing after install: ${file}")
  endif()
endforeach()
foreach(program quillory quillory-extract)
  execute_process(COMMAND test -x "${PREFIX}/bin/${program}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "not executable: bin/${program}")
  endif()
endforeach()
# The installed tool runs from its new place.
execute_process(COMMAND "${PREFIX}/bin/quillory-extract" --help RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "Usage: quillory-extract")
  message(FATAL_ERROR "installed quillory-extract does not run:\n${out}")
endif()

file(STRINGS "${PREFIX}/share/applications/quillory.desktop" entry)
foreach(line
    "[Desktop Entry]" "Type=Application" "Name=Quillory" "Icon=quillory"
    "Categories=Graphics;Utility;" "Exec=\"${PREFIX}/bin/quillory\" %f"
    "MimeType=application/x-shockwave-flash;application/vnd.adobe.flash.movie;")
  list(FIND entry "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "desktop entry lacks the line ${line}:\n${entry}")
  endif()
endforeach()

file(READ "${PREFIX}/share/icons/hicolor/256x256/apps/quillory.png" head LIMIT 8 HEX)
if(NOT head STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "icon is no PNG file")
endif()

# A prefix of one's own is a portable install: what the programs find beside
# themselves is there, not in share/quillory/.
if(EXISTS "${PREFIX}/share/quillory")
  message(FATAL_ERROR "a portable install got share/quillory/")
endif()

# The build's own bin folder holds nothing that is not installed beside it
# except tests and build tools; and nothing the program writes is shipped.
foreach(file Config.ini TEMP IMAGES)
  if(EXISTS "${PREFIX}/bin/${file}")
    message(FATAL_ERROR "shipped a file the program makes itself: ${file}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
