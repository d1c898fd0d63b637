// probe.exe PROGRAM COMMAND_LINE: runs PROGRAM with COMMAND_LINE (element 0
// first) on these standard handles and prints "exit CODE" with its whole exit
// code, as Wine hands Linux only the low 8 bits; with PROBE_NO_OUTPUT set,
// PROGRAM gets no standard output handle at all. A copy named netmsg.dll
// stands in for the network message module (probe.rc).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

int wmain(int count, wchar_t** args) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  if (_wgetenv(L"PROBE_NO_OUTPUT") != nullptr) startup.hStdOutput = nullptr;
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION process = {};
  DWORD code = 0;
  if (count != 3 ||
      !CreateProcessW(args[1], args[2], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process) ||
      WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &code)) {
    std::printf("probe: running PROGRAM COMMAND_LINE failed (error %lu)\n", GetLastError());
    return 1;
  }
  std::printf("exit %lu\n", code);
  return 0;
}
