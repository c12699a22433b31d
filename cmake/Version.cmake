# The version header: the release from project(VERSION) and, in a git
# checkout, the commit the build is configured at. A build from a tarball, or
# from a tree that merely lies inside some other repository, has no commit.
set(TARVO_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --short=7 HEAD
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    RESULT_VARIABLE git_result
    OUTPUT_VARIABLE git_output
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(git_result EQUAL 0)
    string(REPLACE "\n" ";" git_output "${git_output}")
    list(GET git_output 0 git_toplevel)
    list(GET git_output 1 git_commit)
    get_filename_component(git_toplevel "${git_toplevel}" REALPATH)
    get_filename_component(source_dir "${PROJECT_SOURCE_DIR}" REALPATH)
    if(git_toplevel STREQUAL source_dir)
      set(TARVO_COMMIT ${git_commit})
      # Configure again when HEAD moves, so that the commit shown stays true.
      execute_process(
        COMMAND ${GIT_EXECUTABLE} rev-parse --git-path logs/HEAD
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE git_head_log
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      get_filename_component(git_head_log "${git_head_log}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
      if(EXISTS "${git_head_log}")
        set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                                                  "${git_head_log}")
      endif()
    endif()
  endif()
endif()

set(TARVO_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/src/driver/Version.h.in
               ${TARVO_GENERATED_DIR}/driver/Version.h @ONLY)
