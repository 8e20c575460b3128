# Checks that the socket-thread library exports exactly the operations of its four classes, at
# global scope and with their declared parameter types, and nothing else of ours.
# Run as:  cmake -DNM=<nm> -DLIBRARY=<the .so> [-DOBJDUMP=<objdump>] -P CheckExports.cmake
# or, to check a listing made earlier by `nm -DC --defined-only`:
#          cmake -DSYMBOLS=<listing file> -P CheckExports.cmake
if(DEFINED SYMBOLS)
    file(READ "${SYMBOLS}" listing)
else()
    execute_process(COMMAND ${NM} -DC --defined-only ${LIBRARY}
        OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "nm failed on ${LIBRARY}")
    endif()
endif()

set(expected
    "CLog::CLog()"
    "CLog::CLog(CLog const&)"
    "CLog::operator=(CLog const&)"
    "CLog::~CLog()"
    "CLog::WriteReg(char*, char*, char*)"
    "CLog::ReadReg(char*, char*, char*)"
    "CSockThread::CSockThread(CLog*, unsigned int)"
    "CSockThread::CSockThread(CSockThread const&)"
    "CSockThread::operator=(CSockThread const&)"
    "CSockThread::~CSockThread()"
    "CSockThread::Run(void*)"
    "CSockThread::Start()"
    "CSockThread::Pause()"
    "CSockThread::Resume()"
    "CSockThread::Suspend()"
    "CSockThread::LastStatus()"
    "CSockThread::ExitThread()"
    "CSockThread::CloseSocket()"
    "CSockThread::Send(unsigned int, char*, int)"
    "CSockThread::Send(char*, int)"
    "CSockThread::SendF(char*, ...)"
    "CSockThread::Recv(unsigned int, char*, int)"
    "CSockThread::Recv(char*, int)"
    "CClient::CClient(CLog*, char*, int)"
    "CClient::CClient(CClient const&)"
    "CClient::operator=(CClient const&)"
    "CClient::~CClient()"
    "CClient::Connect()"
    "CUser::CUser(CUser*, int, CLog*, unsigned int, int)"
    "CUser::~CUser()"
    "CUser::Lock()"
    "CUser::Unlock()")
foreach(class CLog CSockThread CClient CUser)
    list(APPEND expected "vtable for ${class}" "typeinfo for ${class}" "typeinfo name for ${class}")
endforeach()

# Every defined symbol, demangled, without its address and type letter. Template code of the
# standard library that the compiler chose to export is not ours and is let through.
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
        continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\\(.*$" "" head "${name}")
    if(head MATCHES "(^| )(std|__gnu_cxx)::")
        continue()
    endif()
    list(APPEND exported "${name}")
endforeach()
list(REMOVE_DUPLICATES exported) # constructors and destructors come in several variants

set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})

set(problems "")
if(missing)
    list(JOIN missing "\n  " text)
    string(APPEND problems "not exported:\n  ${text}\n")
endif()
if(extra)
    list(JOIN extra "\n  " text)
    string(APPEND problems "exported but not part of the interface:\n  ${text}\n")
    if(extra MATCHES "palaverly::")
        string(APPEND problems "(the classes must be at global scope, not in a namespace)\n")
    endif()
endif()

if(DEFINED OBJDUMP AND NOT DEFINED SYMBOLS)
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE headers)
    if(NOT headers MATCHES "SONAME +libpalaverly-sockthread\\.so\\.1\n")
        string(APPEND problems "SONAME is not libpalaverly-sockthread.so.1\n")
    endif()
endif()

if(problems)
    message(FATAL_ERROR "${problems}")
endif()
list(LENGTH expected count)
message(STATUS "exactly the ${count} symbols of the interface are exported")
