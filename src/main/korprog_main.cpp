#include "main/MainStartup.h"
#include "main/StdDescriptors.h"

int main(int argc, char** argv)
{
    // Before anything else is opened.
    if (!StdDescriptors::ensureOpen()) return 1;
    return MainStartup::run(argc, argv);
}
