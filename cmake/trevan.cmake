# Project-wide helpers for targets of our own (third-party code such as
# GoogleTest is built with its own flags).

# Warnings and platform defines for a target of ours.
function(trevan_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(WIN32)
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(WIN32)
    # Windows 7 is the oldest system the program supports.
    target_compile_definitions(${target} PUBLIC
      _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
  endif()
endfunction()

# Size options for the code that goes into the program, in the Windows trees:
# link-time optimisation, and templates of the runtime instantiated where
# they are used (cmake/local_instantiation.h says why). Tests that link the
# same libraries get the same code.
#   -fno-rtti: the program asks no object for its type (no dynamic_cast,
#   no typeid); exceptions still carry theirs, which GCC emits where one is
#   thrown. About 3 KB of type names and type information.
#   -Oz: size before speed, also at the link. The one loop where the run
#   spends its time, MD5's, compiles to the same instructions (within 1%)
#   as with -Os. About 1 KB.
function(trevan_program_code target)
  if(WIN32)
    set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
    # One partition: with the runtime's templates instantiated locally, GCC
    # 12's partitioned link-time optimisation can stop with an internal
    # error (binds_to_current_def_p), depending on how the code happens to
    # fall into partitions. Everything that links this code links this way.
    target_link_options(${target} PUBLIC -flto-partition=one -Oz)
    target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/cmake/local_instantiation.h
                           -fno-rtti -Oz)
  endif()
endfunction()

# GoogleTest, built once per tree from the Debian sources so the cross trees
# get a MinGW build of it.
macro(trevan_use_googletest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
endmacro()
