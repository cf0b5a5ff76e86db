# Builds each probe target: FAILING ones (target:header) must fail because the header is not
# found, PASSING ones must build.
#   cmake -DBUILD_DIR=<dir> -DFAILING=<t:h;...> -DPASSING=<t;...> -P LayerProbes.cmake
set(failures 0)
foreach(entry IN LISTS FAILING)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 target)
    list(GET entry 1 header)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    string(FIND "${out}" "${header}: No such file or directory" missing)
    if(result EQUAL 0 OR missing EQUAL -1)
        message("${target}: expected '${header}' not to be found, got (${result}):\n${out}")
        math(EXPR failures "${failures} + 1")
    else()
        message("${target}: ${header} is out of reach, as it should be")
    endif()
endforeach()
foreach(target IN LISTS PASSING)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message("${target}: expected to build, got (${result}):\n${out}")
        math(EXPR failures "${failures} + 1")
    endif()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} layer probe(s) went wrong")
endif()
