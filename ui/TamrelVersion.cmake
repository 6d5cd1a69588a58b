# Run by the build (cmake -P): writes OUT, the header of what the program is built from:
# TAMREL_VERSION (VERSION, the project's) and TAMREL_COMMIT (the commit checked out at SOURCE,
# 12 hex digits; empty where SOURCE is not the top of a git checkout, as in a source archive, or
# git is missing). The file is written only when its text changes, so that a build after a
# commit compiles main.cpp again and nothing else, and a build without one compiles nothing.
set(commit "")
if(GIT)
  execute_process(COMMAND "${GIT}" -c safe.directory=* rev-parse --show-toplevel HEAD
                  WORKING_DIRECTORY "${SOURCE}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE answer OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(status EQUAL 0)
    string(REPLACE "\n" ";" answer "${answer}")
    list(GET answer 0 top)
    list(GET answer 1 head)
    file(REAL_PATH "${SOURCE}" source)
    file(REAL_PATH "${top}" top)
    if(top STREQUAL source)
      string(SUBSTRING "${head}" 0 12 commit)
    endif()
  endif()
endif()
set(text "#pragma once\n#define TAMREL_VERSION \"${VERSION}\"\n#define TAMREL_COMMIT \"${commit}\"\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT text STREQUAL old)
  file(WRITE "${OUT}" "${text}")
endif()
