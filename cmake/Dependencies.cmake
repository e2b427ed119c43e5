# Outside dependencies: SQLite 3 (the program's one library) and, for tests and
# benchmarks, GoogleTest and Google Benchmark.

# ---- SQLite -> target vlx_sqlite
if(WIN32)
  # The Windows builds compile the amalgamation that scripts/sqlite-amalgamation.sh
  # makes from Debian's own source package of the installed SQLite version.
  set(VLX_SQLITE_AMALGAMATION "" CACHE PATH "Folder holding sqlite3.c and sqlite3.h")
  if(NOT EXISTS "${VLX_SQLITE_AMALGAMATION}/sqlite3.c")
    message(FATAL_ERROR "VLX_SQLITE_AMALGAMATION must name a folder with sqlite3.c "
                        "(run scripts/sqlite-amalgamation.sh)")
  endif()
  add_library(vlx_sqlite STATIC "${VLX_SQLITE_AMALGAMATION}/sqlite3.c")
  target_include_directories(vlx_sqlite SYSTEM PUBLIC "${VLX_SQLITE_AMALGAMATION}")
  target_compile_definitions(vlx_sqlite PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION
                                                SQLITE_DQS=0)
  target_compile_options(vlx_sqlite PRIVATE -w)
else()
  find_package(SQLite3 REQUIRED)
  add_library(vlx_sqlite INTERFACE)
  target_link_libraries(vlx_sqlite INTERFACE SQLite::SQLite3)
endif()

# ---- GoogleTest -> targets GTest::gtest, GTest::gmock
if(VLX_BUILD_TESTS)
  if(WIN32)
    # Built from Debian's googletest sources with the cross compiler.
    set(VLX_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${VLX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gmock ALIAS gmock)
    endif()
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

if(VLX_BUILD_BENCH AND NOT WIN32)
  find_package(benchmark REQUIRED)
endif()
