// Runs one test of this very program in an application folder of its own, laid out with the
// proxy and a vendor driver fixture under the names a scenario needs. The loader searches the
// application folder first, so each scenario sees exactly the files it was given.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ScenarioRun {
  unsigned long exit_code;
  std::string output;
};

// `files` pairs a build output (next to this program) with the name it gets in the folder.
// `child_filter` selects the tests (a GoogleTest filter) that run inside the folder.
ScenarioRun run_in_scenario(const std::string& folder,
                            const std::vector<std::pair<std::string, std::string>>& files,
                            const std::string& child_filter);

// True inside a scenario folder: only then do the InScenario tests run.
bool in_scenario();

// The folder this program was started from, with a trailing backslash.
std::string program_folder();
