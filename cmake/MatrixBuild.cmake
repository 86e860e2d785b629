# Configures and builds the extension for one more interpreter, in a staged
# package folder of its own. Run with cmake -P; variables: SOURCE_DIR,
# BUILD_DIR, PYTHON, BUILD_TYPE, WERROR, and SANITIZE (optional, OFF when unset).
if(NOT DEFINED SANITIZE)
  set(SANITIZE OFF)
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${BUILD_DIR}"
          "-DPython3_EXECUTABLE=${PYTHON}" -DYAML_MATRIX=OFF "-DYAML_WERROR=${WERROR}"
          "-DYAML_SANITIZE=${SANITIZE}" -DYAML_RELIABILITY=OFF -DYAML_PACKAGING=OFF
          "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}" "-DYAML_PACKAGE_DIR=${BUILD_DIR}/stage/yaml"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --parallel 2
  COMMAND_ERROR_IS_FATAL ANY)
