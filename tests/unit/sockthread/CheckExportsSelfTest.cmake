# Shows that CheckExports.cmake accepts the real library and refuses listings with a symbol
# missing, a namespace put back, a parameter type changed or an internal symbol let out.
# Run as: cmake -DNM=<nm> -DLIBRARY=<the .so> -DCHECK=<CheckExports.cmake> -DWORK=<dir> -P ...
execute_process(COMMAND ${NM} -DC --defined-only ${LIBRARY}
    OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
file(MAKE_DIRECTORY "${WORK}")

function(run_check name text expect_pass)
    file(WRITE "${WORK}/${name}.txt" "${text}")
    execute_process(COMMAND ${CMAKE_COMMAND} -DSYMBOLS=${WORK}/${name}.txt -P ${CHECK}
        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    if(expect_pass AND NOT result EQUAL 0)
        message(FATAL_ERROR "${name}: the check refused it:\n${errors}")
    elseif(NOT expect_pass AND result EQUAL 0)
        message(FATAL_ERROR "${name}: the check let it pass")
    endif()
endfunction()

run_check(real "${listing}" TRUE)

string(REGEX REPLACE "[^\n]* CUser::Unlock\\(\\)\n" "" text "${listing}")
run_check(missing_operation "${text}" FALSE)

string(REPLACE " CClient::" " palaverly::CClient::" text "${listing}")
run_check(namespace_back "${text}" FALSE)

string(REPLACE "CLog::WriteReg(char*, char*, char*)" "CLog::WriteReg(char const*, char const*, char const*)" text "${listing}")
run_check(const_parameters "${text}" FALSE)

run_check(internal_let_out "${listing}0000000000001000 T CSockThread::StopBody()\n" FALSE)
run_check(worker_let_out "${listing}0000000000001000 T palaverly::CWorkerThread::Resume()\n" FALSE)

run_check(standard_library_template
    "${listing}0000000000001000 W void std::vector<char, std::allocator<char> >::_M_fill_insert(int)\n" TRUE)
message(STATUS "the export check tells a good library from broken ones")
