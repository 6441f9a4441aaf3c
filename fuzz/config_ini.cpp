// The tool's preferences file (config.ini) from anywhere: read, written
// back at the end, read and written once more. What the program writes it
// must read back the same, so the second file equals the first; the COM
// port and the type names keep within their fields, and the type-name
// look-ups answer for any name.

#include <cstring>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/ConfigInit.h"

using namespace fuzzkit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Dialogs dialogs;
    static bool once = false;
    if (!once) {
        std::filesystem::create_directories(workDir() + "/nodev");
        ConfigInit::devicesDir((workDir() + "/nodev").c_str());
        once = true;
    }
    Input in(data, size);
    const std::string probe = in.upTo('\n');  // a name to look up
    writeFile("config.ini", in.rest());
    {
        ConfigInit c(nullptr, nullptr, nullptr);
        if (strnlen(c.comActive(), ConfigInit::COM_NAME_SIZE) >= size_t(ConfigInit::COM_NAME_SIZE))
            fail("the COM port runs past its field");
        for (const char* t : c.korTypes())
            if (strnlen(t, ConfigInit::KORTYPE_SIZE) >= size_t(ConfigInit::KORTYPE_SIZE)) fail("a type name runs past its field");
        c.customKorType(probe.c_str());
        c.ombrixKorType(probe.c_str());
        c.replaceOmbrixByCustomType(probe.c_str());
    }
    const std::string first = readFile("config.ini");
    { ConfigInit c(nullptr, nullptr, nullptr); }
    if (readFile("config.ini") != first) fail("config.ini written by the program reads back differently");
    return 0;
}
