#include "scenario.h"

#include <windows.h>

#include <algorithm>

namespace {
constexpr char kScenarioVariable[] = "QELT_IN_SCENARIO";
}

std::string program_folder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool in_scenario() { return GetEnvironmentVariableA(kScenarioVariable, nullptr, 0) != 0; }

ScenarioRun run_in_scenario(const std::string& folder,
                            const std::vector<std::pair<std::string, std::string>>& files,
                            const std::string& child_filter) {
  std::string here = program_folder();
  std::string dir = here + "scenarios\\" + folder + "\\";
  CreateDirectoryA((here + "scenarios").c_str(), nullptr);
  CreateDirectoryA(dir.c_str(), nullptr);

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string client = dir + "client.exe";
  if (!CopyFileA(self, client.c_str(), FALSE)) return {~0ul, "cannot copy " + client};
  for (const auto& [source, name] : files) {
    std::string from = here + source;
    std::string to = dir + name;
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) return {~0ul, "cannot copy " + from};
  }

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  CreatePipe(&read_end, &write_end, &inherit, 0);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::string command = "client.exe --gtest_filter=" + child_filter;
  SetEnvironmentVariableA(kScenarioVariable, "1");
  BOOL started = CreateProcessA(client.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                nullptr, dir.c_str(), &startup, &process);
  SetEnvironmentVariableA(kScenarioVariable, nullptr);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return {~0ul, "cannot start " + client};
  }

  // Read until the program has ended and its output is drained: a Wine process it started in
  // the background (the desktop of its first window) may hold the pipe open much longer.
  ScenarioRun run{0, ""};
  char chunk[4096];
  for (bool ended = false;;) {
    DWORD waiting = 0, got = 0;
    if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr)) break;  // no writer left
    if (waiting > 0) {
      if (!ReadFile(read_end, chunk, std::min<DWORD>(waiting, sizeof chunk), &got, nullptr)) break;
      run.output.append(chunk, got);
    } else if (ended) {
      break;
    } else {
      ended = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
    }
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(read_end);
  return run;
}
