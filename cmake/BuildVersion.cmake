# Writes the header that names this build: the commit and its date from git, or, where the
# sources are not a git checkout, the build id handed in (a distribution's package
# version) or the project's own version. Run at every build with `cmake -P`; the header is
# rewritten only when its text changes, so an unchanged tree rebuilds nothing.
#
#   -DSOURCE_DIR=… -DOUTPUT=… -DPROJECT_VERSION=… [-DBUILD_ID=…]
set(build "")
if(BUILD_ID)
  set(build "${BUILD_ID}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --always --dirty
                            --abbrev=7
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE commit_failed ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} log -1 --format=%cd
                            --date=short
                    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE date_failed ERROR_QUIET)
    if(NOT commit_failed AND commit)
      set(build "${commit}")
      if(NOT date_failed AND date)
        string(APPEND build " ${date}")
      endif()
    endif()
  endif()
endif()
if(NOT build)
  set(build "${PROJECT_VERSION}")
endif()

set(text "// Written by cmake/BuildVersion.cmake at build time.\n#pragma once\n#define TERVANE_VERSION \"${PROJECT_VERSION}\"\n#define TERVANE_BUILD \"${build}\"\n")
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
