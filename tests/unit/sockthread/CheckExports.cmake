# Checks that the socket-thread library exports every operation of its four classes and hides
# everything else. Run as: cmake -DNM=<nm> -DLIBRARY=<path to the .so> -P CheckExports.cmake
execute_process(COMMAND ${NM} -DC --defined-only ${LIBRARY}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

set(expected
    "palaverly::CLog::CLog()"
    "palaverly::CLog::CLog(palaverly::CLog const&)"
    "palaverly::CLog::operator=(palaverly::CLog const&)"
    "palaverly::CLog::~CLog()"
    "palaverly::CLog::WriteReg(char const*, char const*, char const*)"
    "palaverly::CLog::ReadReg(char const*, char const*, char*)"
    "palaverly::CSockThread::CSockThread(palaverly::CLog*, unsigned int)"
    "palaverly::CSockThread::CSockThread(palaverly::CSockThread const&)"
    "palaverly::CSockThread::operator=(palaverly::CSockThread const&)"
    "palaverly::CSockThread::~CSockThread()"
    "palaverly::CSockThread::Run(void*)"
    "palaverly::CSockThread::Start()"
    "palaverly::CSockThread::Pause()"
    "palaverly::CSockThread::Resume()"
    "palaverly::CSockThread::Suspend()"
    "palaverly::CSockThread::LastStatus()"
    "palaverly::CSockThread::ExitThread()"
    "palaverly::CSockThread::CloseSocket()"
    "palaverly::CSockThread::Send(unsigned int, char const*, int)"
    "palaverly::CSockThread::Send(char const*, int)"
    "palaverly::CSockThread::SendF(char const*, ...)"
    "palaverly::CSockThread::Recv(unsigned int, char*, int)"
    "palaverly::CSockThread::Recv(char*, int)"
    "palaverly::CClient::CClient(palaverly::CLog*, char const*, int)"
    "palaverly::CClient::CClient(palaverly::CClient const&)"
    "palaverly::CClient::operator=(palaverly::CClient const&)"
    "palaverly::CClient::~CClient()"
    "palaverly::CClient::Connect()"
    "palaverly::CUser::CUser(palaverly::CUser*, int, palaverly::CLog*, unsigned int, int)"
    "palaverly::CUser::~CUser()"
    "palaverly::CUser::Lock()"
    "palaverly::CUser::Unlock()"
    "vtable for palaverly::CLog"
    "vtable for palaverly::CSockThread"
    "vtable for palaverly::CClient"
    "vtable for palaverly::CUser"
    "typeinfo for palaverly::CLog"
    "typeinfo for palaverly::CSockThread"
    "typeinfo for palaverly::CClient"
    "typeinfo for palaverly::CUser")

set(missing "")
foreach(symbol IN LISTS expected)
    string(FIND "${symbols}" " ${symbol}\n" at)
    if(at EQUAL -1)
        list(APPEND missing "${symbol}")
    endif()
endforeach()
if(missing)
    list(JOIN missing "\n  " text)
    message(FATAL_ERROR "not exported by ${LIBRARY}:\n  ${text}")
endif()

# The thread machinery and the linked-in text helpers stay inside.
foreach(hidden "CWorkerThread" "cp932::")
    string(FIND "${symbols}" "${hidden}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "${LIBRARY} exports internal symbols (${hidden})")
    endif()
endforeach()
list(LENGTH expected count)
message(STATUS "${count} symbols exported, internals hidden")
