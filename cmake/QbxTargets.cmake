# Compiler and linker settings shared by every target of the program.

# Product code: warnings are errors, no exceptions or run-time type data (the
# program uses neither), ANSI Win32 calls, headers limited to Windows 2000.
set(QBX_PRODUCT_DEFINITIONS WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0500 WIN32_LEAN_AND_MEAN NOMINMAX)
set(QBX_PRODUCT_OPTIONS -Wall -Wextra -Werror -fno-exceptions -fno-rtti -fstack-protector-strong
    -ffunction-sections -fdata-sections)

# Warnings are errors in the tests and their stand-in libraries too.
set(QBX_TEST_OPTIONS -Wall -Wextra -Werror)

# Reproducible links: the linker stamps the PE header with SOURCE_DATE_EPOCH,
# the last commit's time unless the environment names one, instead of the
# time of the link, so that the same commit builds the same bytes in any
# folder. (Each configure takes the time anew.)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(QBX_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE QBX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(QBX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QBX_SOURCE_DATE_EPOCH})
    set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QBX_SOURCE_DATE_EPOCH})
else()
    # Not a git checkout: no time stamp at all.
    add_link_options(-Wl,--no-insert-timestamp)
endif()

function(qbx_product_settings target)
    target_compile_definitions(${target} PRIVATE ${QBX_PRODUCT_DEFINITIONS})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QBX_PRODUCT_OPTIONS}>)
endfunction()

function(qbx_add_library name)
    add_library(${name} STATIC ${ARGN})
    qbx_product_settings(${name})
endfunction()

# A stand-in DLL under the name it stands in for, with exports named in a
# .def file.
function(qbx_add_stub_dll target output_name)
    add_library(${target} SHARED ${ARGN})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${output_name})
    target_compile_options(${target} PRIVATE ${QBX_TEST_OPTIONS})
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # The .def files name the exports as Windows does, undecorated; the
        # linker finds the stdcall functions behind them.
        target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
endfunction()

# Every executable is linked statically: no runtime DLLs beside it.
function(qbx_static_link target)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -fstack-protector-strong
        -Wl,--gc-sections $<$<CONFIG:MinSizeRel,Release>:-s>)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${target} PRIVATE -Wl,--tsaware -Wl,--nxcompat -Wl,--dynamicbase)
    else()
        target_link_options(${target} PRIVATE -Wl,--tsaware -Wl,--nxcompat -Wl,--dynamicbase -Wl,--high-entropy-va)
    endif()
endfunction()
