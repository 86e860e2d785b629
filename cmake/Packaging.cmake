# The package as users get it, as ctest entries: for every interpreter in
# YAML_INTERPRETERS ("tag|python" items) a wheel built by pip with build
# isolation, installed into a fresh virtual environment, the unit suite run
# against that installation from outside the source tree, and stubtest over
# the package's stubs; for the primary interpreter also mypy --strict on the
# typed examples, the wheel repaired with libyaml bundled and checked with the
# system's libyaml hidden, and the sdist. Build tools and type checkers come
# from the package index, pinned in tools/requirements/.
set(src "${CMAKE_CURRENT_SOURCE_DIR}")
set(wheels "${CMAKE_CURRENT_BINARY_DIR}/wheels")
set(tools_env "${CMAKE_CURRENT_BINARY_DIR}/wheel-tools")
set(reference_tools "${CMAKE_CURRENT_BINARY_DIR}/tests/tools")

add_test(NAME wheel-tools
  COMMAND bash "${src}/tools/venv.sh" "${Python3_EXECUTABLE}" "${tools_env}"
          "${src}/tools/requirements/wheel.txt")
set_tests_properties(wheel-tools PROPERTIES FIXTURES_SETUP wheel-tools TIMEOUT 600)

foreach(item IN LISTS YAML_INTERPRETERS)
  string(REPLACE "|" ";" item "${item}")
  list(GET item 0 tag)
  list(GET item 1 python)
  set(dir "${wheels}/${tag}")
  add_test(NAME wheel-${tag}
    COMMAND bash "${src}/tools/wheel-env.sh" "${python}" "${dir}")
  set_tests_properties(wheel-${tag} PROPERTIES FIXTURES_SETUP wheel-${tag} TIMEOUT 1200)
  # The version-check build is the developer build's, made for the same
  # interpreter (the primary one here, the matrix build for the others).
  if(tag STREQUAL YAML_PRIMARY_TAG)
    set(vcheck "${CMAKE_CURRENT_BINARY_DIR}/vcheck")
    set(needs wheel-${tag})
  else()
    set(vcheck "${CMAKE_CURRENT_BINARY_DIR}/matrix/${tag}/vcheck")
    set(needs "wheel-${tag};build-${tag}")
  endif()
  add_test(NAME installed-unit-${tag}
    COMMAND bash "${src}/tools/installed-unit.sh" "${dir}/venv" -v)
  set_tests_properties(installed-unit-${tag} PROPERTIES
    FIXTURES_REQUIRED "${needs}" TIMEOUT 1800
    ENVIRONMENT "YAML_TOOLS_DIR=${reference_tools};YAML_VCHECK_DIR=${vcheck};${YAML_REQUIRE_ENV}")
  add_test(NAME stubtest-${tag}
    COMMAND bash "${src}/tools/typecheck.sh" stubtest "${dir}/venv")
  set_tests_properties(stubtest-${tag} PROPERTIES FIXTURES_REQUIRED wheel-${tag} TIMEOUT 600)
endforeach()

set(primary "${wheels}/${YAML_PRIMARY_TAG}")
add_test(NAME mypy-strict
  COMMAND bash "${src}/tools/typecheck.sh" example "${primary}/venv")
set_tests_properties(mypy-strict PROPERTIES FIXTURES_REQUIRED wheel-${YAML_PRIMARY_TAG} TIMEOUT 600)

add_test(NAME wheel-bundled
  COMMAND bash "${src}/tools/wheel-env.sh" --bundle-libyaml "${Python3_EXECUTABLE}" "${wheels}/bundled")
set_tests_properties(wheel-bundled PROPERTIES
  FIXTURES_SETUP wheel-bundled FIXTURES_REQUIRED wheel-tools TIMEOUT 1200
  ENVIRONMENT "YAML_WHEEL_TOOLS=${tools_env}")
add_test(NAME bundled-check
  COMMAND bash "${src}/tools/bundled-check.sh" "${wheels}/bundled/venv" "${primary}/venv"
          "${reference_tools}")
set_tests_properties(bundled-check PROPERTIES
  FIXTURES_REQUIRED "wheel-bundled;wheel-${YAML_PRIMARY_TAG}" TIMEOUT 1800)

add_test(NAME sdist
  COMMAND bash "${src}/tools/sdist-check.sh" "${tools_env}" "${wheels}/sdist")
set_tests_properties(sdist PROPERTIES FIXTURES_REQUIRED wheel-tools TIMEOUT 1200)
