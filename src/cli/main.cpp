#include "cli/vantrycli.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <iostream>

int main(int argc, char** argv) {
    // The user's preferences are read as the editor reads them, but a batch run never
    // rewrites them.
    SingletonPtr<UserDefinedSettings> settings;
    settings->persistOnExit = false;
    return runVantryCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
