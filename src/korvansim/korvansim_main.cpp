// korvansim: a Korvan unit on a pseudo-terminal, for trying KorProg and for
// training without hardware, and as the unit in end-to-end tests.

#include <cstdio>
#include <string>

#include "korvansim/KsimOptions.h"
#include "korvansim/KsimRunner.h"

int main(int argc, char** argv)
{
    KsimOptions options;
    std::string error;
    bool help = false;
    if (!options.parse(argc, argv, &error, &help)) {
        std::fprintf(stderr, "korvansim: %s\n\n%s", error.c_str(), KsimOptions::usage());
        return 2;
    }
    if (help) {
        std::fputs(KsimOptions::usage(), stdout);
        return 0;
    }
    KsimRunner runner(options);
    return runner.run(stdout);
}
