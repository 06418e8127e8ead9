# Shared compile settings and the helpers every folder uses.

add_library(rollcall_options INTERFACE)
target_compile_definitions(rollcall_options INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_RESTRICTED_CAST_FROM_ASCII
    QT_USE_QSTRINGBUILDER
    QT_NO_FOREACH
    ROLLCALL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    ROLLCALL_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    ROLLCALL_VERSION_REVISION=${PROJECT_VERSION_PATCH})
target_compile_options(rollcall_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(ROLLCALL_WERROR)
    target_compile_options(rollcall_options INTERFACE -Werror)
endif()
if(ROLLCALL_SANITIZE)
    target_compile_options(rollcall_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(rollcall_options INTERFACE -fsanitize=address,undefined)
else()
    # The hardening Debian builds with. Fortified string functions need the optimiser (glibc
    # warns, and warnings are errors, at -O0), so only the optimised configurations get them; the
    # sanitizers already check the same calls. -U first: some compilers predefine it.
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    target_compile_options(rollcall_options INTERFACE
        "$<${optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>" -fstack-protector-strong)
endif()
# Relocations read-only and resolved at start, so a stray write cannot redirect a library call.
target_link_options(rollcall_options INTERFACE LINKER:-z,relro,-z,now)

# rollcall_add_library(NAME SOURCES ... LIBS ...): one static library per subsystem folder.
function(rollcall_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC rollcall_options ${ARG_LIBS})
endfunction()

# rollcall_add_test(NAME SOURCES ... LIBS ... [ALSO_AT_SCALE factor]): a Qt Test executable run by
# ctest headless, with a fixed locale and a private XDG_CONFIG_HOME so no test touches the user's
# settings. ALSO_AT_SCALE runs it a second time as NAME_xFACTOR, the screen scaled by the factor.
function(rollcall_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT;ALSO_AT_SCALE" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE rollcall_options Qt6::Test ${ARG_LIBS})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set(runs ${name})
    if(ARG_ALSO_AT_SCALE)
        list(APPEND runs ${name}_x${ARG_ALSO_AT_SCALE})
    endif()
    foreach(run ${runs})
        add_test(NAME ${run} COMMAND ${name})
        set(environment QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8
            XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${run} ROLLCALL_CORPUS_DIR=${ROLLCALL_CORPUS_DIR})
        if(NOT run STREQUAL name)
            list(APPEND environment QT_SCALE_FACTOR=${ARG_ALSO_AT_SCALE})
        endif()
        set_tests_properties(${run} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${environment}")
    endforeach()
endfunction()
