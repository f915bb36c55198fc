# Delay-import libraries: the DLL is loaded by the runtime's delay-load helper
# on the first call into it and stays loaded. The helper's hooks
# (env/SystemLibrary.cpp) load it from the system folder by full path and
# hold a failing stand-in for every function the .def files list.
#
# qbx_delay_import(<target> <def name>): links target with the delay-import
# library made from cmake/delayimp/<def name>.def.
if(NOT CMAKE_DLLTOOL)
    find_program(CMAKE_DLLTOOL NAMES ${QBX_TRIPLE}-dlltool dlltool REQUIRED)
endif()

function(qbx_delay_import target name)
    set(def ${PROJECT_SOURCE_DIR}/cmake/delayimp/${name}.def)
    set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${name}_delay.a)
    if(NOT TARGET qbx_delayimp_${name})
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            # The stdcall decorations name the linker's symbols; --kill-at
            # drops them from the names looked up in the DLL.
            set(input ${def})
            set(flags --kill-at)
        else()
            # x64 has no decorations: the same list without them.
            set(input ${CMAKE_BINARY_DIR}/delayimp/${name}.def)
            file(READ ${def} text)
            string(REGEX REPLACE "@[0-9]+" "" text "${text}")
            file(WRITE ${input} "${text}")
            set(flags)
        endif()
        add_custom_command(OUTPUT ${lib}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayimp
            COMMAND ${CMAKE_DLLTOOL} --input-def ${input} --output-delaylib ${lib} ${flags}
            DEPENDS ${def}
            COMMENT "Delay-import library for ${name}")
        add_custom_target(qbx_delayimp_${name} DEPENDS ${lib})
    endif()
    add_dependencies(${target} qbx_delayimp_${name})
    target_link_libraries(${target} PUBLIC ${lib})
endfunction()
