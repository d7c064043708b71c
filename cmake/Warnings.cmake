# Compiler warnings for every target of the project.
#
# The set is strict and identical in spirit for g++ 12 and clang 14: both compilers must build the
# tree cleanly with it. Warnings are errors unless VELA_WARNINGS_AS_ERRORS is OFF (useful when
# trying a newer compiler that has grown new diagnostics).

option(VELA_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" ON)

function(vela_set_warnings target)
    get_target_property(target_type ${target} TYPE)
    if(target_type STREQUAL "INTERFACE_LIBRARY")
        set(scope INTERFACE)
    else()
        set(scope PRIVATE)
    endif()

    set(common
        -Wall
        -Wextra
        -Wpedantic
        -Wconversion
        -Wsign-conversion
        -Wshadow
        -Wcast-align
        -Wcast-qual
        -Wnull-dereference
        -Wdouble-promotion
        -Wformat=2
        -Wimplicit-fallthrough
        -Wmisleading-indentation
        -Wundef
    )
    set(cxx_only
        -Wnon-virtual-dtor
        -Wold-style-cast
        -Woverloaded-virtual
        -Wextra-semi
    )
    # The interface table headers are plain C; their C compile checks must hold prototypes strictly.
    set(c_only
        -Wstrict-prototypes
        -Wmissing-prototypes
    )
    set(gcc_only
        -Wlogical-op
        -Wduplicated-cond
        -Wduplicated-branches
        # g++ 12 reports overlapping copies inside std::string's own code when string `+` chains
        # are inlined at -O3 (GCC bugs 105329 and 105651); the warning says nothing about ours.
        -Wno-restrict
    )

    target_compile_options(${target} ${scope}
        ${common}
        "$<$<COMPILE_LANGUAGE:CXX>:${cxx_only}>"
        "$<$<COMPILE_LANGUAGE:C>:${c_only}>"
        "$<$<C_COMPILER_ID:GNU>:$<$<COMPILE_LANGUAGE:C>:${gcc_only}>>"
        "$<$<CXX_COMPILER_ID:GNU>:$<$<COMPILE_LANGUAGE:CXX>:${gcc_only}>>"
        "$<$<BOOL:${VELA_WARNINGS_AS_ERRORS}>:-Werror>"
    )
endfunction()
