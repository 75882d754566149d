# Shared build settings: warnings, sanitizers, Windows flags, the gtest build and
# the helper that registers a test executable.

add_library(brivola_options INTERFACE)
target_compile_options(brivola_options INTERFACE -Wall -Wextra -Wpedantic -Werror)

if(BRIVOLA_WINDOWS)
    target_compile_definitions(brivola_options INTERFACE
        UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    # Everything static: the program needs only the system's own DLLs.
    target_link_options(brivola_options INTERFACE -static -static-libgcc -static-libstdc++)
elseif(BRIVOLA_SANITIZE)
    target_compile_options(brivola_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(brivola_options INTERFACE -fsanitize=address,undefined)
elseif(BRIVOLA_FUZZ)
    # Coverage for libFuzzer in every library; only the fuzz targets link its main.
    target_compile_options(brivola_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_link_options(brivola_options INTERFACE -fsanitize=address,undefined)
endif()

# gtest from Debian's sources, built with whichever compiler this build uses.
set(BRIVOLA_GTEST_SOURCE /usr/src/googletest CACHE PATH "googletest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${BRIVOLA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(BRIVOLA_SANITIZE)
    foreach(t gtest gtest_main gmock gmock_main)
        target_compile_options(${t} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
    endforeach()
endif()
include(GoogleTest)

# brivola_add_test(NAME SOURCES ... LIBS ...): one gtest executable; its tests are
# listed at run time (under Wine for the Windows build).
function(brivola_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} brivola_options GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES TIMEOUT 120)
endfunction()
