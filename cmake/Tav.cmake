# Helpers shared by every folder of the build.

# Compile flags for our own code only (Qt and libusb headers come in as system includes).
function(tav_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(TAV_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# tav_add_library(<name> [DIR <dir>] [LIBS <libs...>] [EXCLUDE <files...>])
# One static library per subsystem folder; its sources are the folder's
# *.cpp/*.h files (not recursive).
function(tav_add_library name)
    cmake_parse_arguments(A "" "DIR" "LIBS;EXCLUDE" ${ARGN})
    if(NOT A_DIR)
        set(A_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    file(GLOB srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp ${A_DIR}/*.h ${A_DIR}/*.qrc)
    foreach(ex ${A_EXCLUDE})
        list(REMOVE_ITEM srcs ${A_DIR}/${ex})
    endforeach()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_LIBS})
    tav_warnings(${name})
endfunction()

# tav_add_qtest(<name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>]
#               [TIMEOUT <s>])
# A QtTest executable, registered with CTest, run offscreen. Test executables
# live apart from bin/ so they never see the real Resources tree.
function(tav_add_qtest name)
    cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${A_LIBS} Qt5::Test)
    tav_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT A_TIMEOUT)
        set(A_TIMEOUT 300)
    endif()
    if(TAV_TSAN)
        # Instrumented code runs several times slower.
        math(EXPR A_TIMEOUT "${A_TIMEOUT} * 4")
    endif()
    set(env "QT_QPA_PLATFORM=offscreen;TAV_SOURCE_DIR=${CMAKE_SOURCE_DIR};TAV_BIN_DIR=${TAV_BIN_DIR}")
    if(TAV_TSAN)
        # Qt's own libraries are not instrumented, and their futex-based
        # hand-overs (a QThread ending and being waited for) are invisible:
        # what Qt itself does is not checked; the suppressions file holds
        # the rest that is known of it.
        list(APPEND env "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${env}"
        TIMEOUT ${A_TIMEOUT}
        LABELS "${A_LABELS}")
endfunction()

# tav_add_bench(<name> SOURCES <files...> [LIBS <libs...>] [SMOKE_ARGS <args...>])
# A Google Benchmark program; a very short run is registered with CTest
# (label "bench") as a smoke check.
function(tav_add_bench name)
    cmake_parse_arguments(A "" "" "SOURCES;LIBS;SMOKE_ARGS" ${ARGN})
    find_package(benchmark REQUIRED)
    add_executable(${name} ${A_SOURCES})
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/bin)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/bench)
    target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark)
    tav_warnings(${name})
    add_test(NAME ${name}_smoke COMMAND ${name} --benchmark_min_time=0.001 ${A_SMOKE_ARGS})
    set_tests_properties(${name}_smoke PROPERTIES LABELS bench TIMEOUT 600)
endfunction()

# Add every direct subfolder of the current folder that has a CMakeLists.txt.
macro(tav_add_subfolders)
    file(GLOB _subs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT _subs)
    foreach(_s ${_subs})
        if(IS_DIRECTORY ${_s} AND EXISTS ${_s}/CMakeLists.txt)
            add_subdirectory(${_s})
        endif()
    endforeach()
endmacro()
