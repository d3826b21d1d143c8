#include "cli/vantrycli.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace vantry {} // namespace vantry

using namespace vantry;

int main(int argc, char** argv) {
    // The user's preferences are read as the editor reads them, but a batch run never
    // rewrites them.
    SingletonPtr<UserDefinedSettings> settings;
    settings->persistOnExit = false;
    CliKeep keep;
    const int code =
        runVantryCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, &keep);
    // Everything is written and every file closed; what is left is memory, which the system
    // takes back faster than freeing it would.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(code);
}
