# Fails when a C++ file of the repository is not laid out as .clang-format
# says, naming the files; `clang-format -i` on them fixes it.
file(GLOB_RECURSE sources "${SOURCE}/*.cpp" "${SOURCE}/*.h")
list(FILTER sources EXCLUDE REGEX "^${SOURCE}/(build|\\.git|out)")
list(LENGTH sources count)
if(count LESS 50)
  message(FATAL_ERROR "only ${count} C++ files found under ${SOURCE}: not the repository")
endif()
# One run for all files; it names each file it would change.
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${sources}
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE complaints)
if(NOT rc EQUAL 0)
  string(REGEX MATCHALL "[^\n:]+\\.(cpp|h):[0-9]+:[0-9]+: error" places "${complaints}")
  list(TRANSFORM places REPLACE ":[0-9]+:[0-9]+: error$" "")
  list(REMOVE_DUPLICATES places)
  list(JOIN places "\n  " shown)
  message(FATAL_ERROR "not laid out as .clang-format says (clang-format -i fixes it):\n  ${shown}")
endif()
message(STATUS "${count} files laid out as .clang-format says")
