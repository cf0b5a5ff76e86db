# Installs the Khronos glTF validator (npm package gltf-validator) into PREFIX, a folder of the
# build tree, unless it is there already. Never fails: a test that needs the validator says
# clearly that it skipped when it is missing.
#   cmake -DNPM=<npm or empty> -DPREFIX=<folder> -DVERSION=<version> -P InstallValidator.cmake
set(_package ${PREFIX}/node_modules/gltf-validator/package.json)
if(EXISTS ${_package})
    file(READ ${_package} _json)
    if(_json MATCHES "\"version\": \"${VERSION}\"")
        message(STATUS "gltf-validator ${VERSION} is installed in ${PREFIX}")
        return()
    endif()
endif()
if(NOT NPM)
    message(STATUS "npm is not installed: the glTF validator cannot be installed")
    return()
endif()
file(MAKE_DIRECTORY ${PREFIX})
execute_process(COMMAND ${NPM} install --prefix ${PREFIX} --no-save --no-audit --no-fund
                        --no-package-lock --cache ${PREFIX}/cache gltf-validator@${VERSION}
                RESULT_VARIABLE _result OUTPUT_VARIABLE _out ERROR_VARIABLE _out
                TIMEOUT 300)
if(_result EQUAL 0 AND EXISTS ${_package})
    message(STATUS "installed gltf-validator ${VERSION} in ${PREFIX}")
else()
    message(STATUS "could not install gltf-validator ${VERSION} (${_result}):\n${_out}")
endif()
