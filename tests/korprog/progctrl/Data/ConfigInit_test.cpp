#include "korprog/progctrl/Data/ConfigInit.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/ConfigInitOwner.h"
#include "korprog/progctrl/Data/ConfigInitView.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "support/ScriptedDialogs.h"

namespace {

struct Window : ConfigInitView {
    void configInit(ConfigInit* c) override { registered = c; }
    void openOptionsWindow() override { ++optionsOpened; }
    ConfigInit* registered = nullptr;
    int optionsOpened = 0;
};

struct Controller : ConfigInitOwner {
    const char* lastRevpackFile() const override { return revpack.c_str(); }
    void lastRevpackFile(const char* f) override { revpack = f; }
    const char* lastBinFile() const override { return bin.c_str(); }
    void lastBinFile(const char* f) override { bin = f; }
    std::string revpack, bin;
};

class ConfigInitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        Language::destroy();
        // No real device is touched: the probe looks in an empty directory.
        ::mkdir("dev", 0755);
        ConfigInit::devicesDir((dir.path() + "/dev").c_str());
    }
    void TearDown() override
    {
        ConfigInit::devicesDir(nullptr);
        Language::destroy();
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    Window window;
    Controller controller;
    SettingBin bin{nullptr};
};

const char* const FULL_INI =
    "settingfile=/home/service/units/klant 12.adn\n"
    "comport=/dev/ttyUSB0\n"
    "korvantype=KV8888GM-ED;Alarmbox GSM\n"
    "korvantype=KV4400WS-BX;Alarmbox GPRS\n"
    "korvantype=KV8888GM-ED;Tweede naam\n"
    "lastrevpack=/var/revpacks/KV-4.12.rpa\n"
    "lastbin=KV8888GM-ED_4.12.bin\n";

}  // namespace

TEST_F(ConfigInitTest, MissingPreferencesAlertAndOpenTheOptionsWindow)
{
    {
        ConfigInit config(&bin, &window, &controller);
        EXPECT_EQ(window.registered, &config);
        EXPECT_EQ(bin.korTypeNames(), &config);
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0], "Attentie!! Bestand \"config.ini\" niet aanwezig.\n"
                                     "Voor communicatie met Korvan eerst COM poort,\n"
                                     "via Opties knop instellen.\n");
        EXPECT_EQ(window.optionsOpened, 1);
    }
    EXPECT_EQ(bin.korTypeNames(), nullptr);
    EXPECT_EQ(TempDir::read("config.ini"), "settingfile=\ncomport=\nlastrevpack=\nlastbin=\n");
}

TEST_F(ConfigInitTest, PreferencesReadAndWrittenBackUnchanged)
{
    TempDir::write("config.ini", FULL_INI);
    {
        ConfigInit config(&bin, &window, &controller);
        EXPECT_TRUE(dialogs.alerts.empty());
        EXPECT_EQ(window.optionsOpened, 0);
        EXPECT_STREQ(bin.file(), "/home/service/units/klant 12.adn");
        EXPECT_STREQ(config.comActive(), "/dev/ttyUSB0");
        EXPECT_EQ(controller.revpack, "/var/revpacks/KV-4.12.rpa");
        EXPECT_EQ(controller.bin, "KV8888GM-ED_4.12.bin");
        const std::vector<const char*> names = config.korTypes();
        ASSERT_EQ(names.size(), 3u);
        EXPECT_STREQ(names[1], "Alarmbox GPRS");
        // The first pair of a code wins.
        EXPECT_STREQ(config.customKorType("KV8888GM-ED"), "Alarmbox GSM");
        EXPECT_STREQ(config.ombrixKorType("Tweede naam"), "KV8888GM-ED");
        EXPECT_STREQ(config.customKorType("KV1111GM-ED"), "KV1111GM-ED");
        EXPECT_STREQ(config.ombrixKorType("Onbekend"), "");

        // New settings chosen by custom name get the standard code.
        bin.korTypeFromNew("Alarmbox GPRS", "", true);
        EXPECT_STREQ(bin.korType(), "KV4400WS-BX");
    }
    EXPECT_EQ(TempDir::read("config.ini"), FULL_INI);
}

TEST_F(ConfigInitTest, OddPreferenceLines)
{
    TempDir::write("config.ini", "korvantype=KV8888GM-ED\r\n"
                                 "korvantype=KV2200PM-EX;\n"
                                 "\nunknown=1\nno equals sign\n"
                                 "comport=/dev/serial/by-id/usb-FTDI\n"
                                 "lastbin=" + std::string(100, 'b') + "\n");
    {
        ConfigInit config(&bin, nullptr, &controller);
        EXPECT_STREQ(config.comActive(), "/dev/serial/by-");  // 15 characters
        EXPECT_EQ(controller.bin, std::string(79, 'b'));
        config.comActive("/dev/ttyUSB1234567890");
        EXPECT_STREQ(config.comActive(), "/dev/ttyUSB1234");
        char* list[ConfigInit::MAX_COM_PORTS];
        EXPECT_EQ(config.comPorts(list), 0);
    }
    EXPECT_EQ(TempDir::read("config.ini"), "settingfile=\n"
                                           "comport=/dev/ttyUSB1234\n"
                                           "korvantype=KV8888GM-ED;KV8888GM-ED\n"
                                           "korvantype=KV2200PM-EX;KV2200PM-EX\n"
                                           "lastrevpack=\n"
                                           "lastbin=" + std::string(79, 'b') + "\n");
}

TEST_F(ConfigInitTest, ReplaceOmbrixByCustomType)
{
    TempDir::write("config.ini", "korvantype=KV8888GM;Kort\nkorvantype=KV8888GM-ED;Lang\n");
    ConfigInit config(&bin, nullptr, nullptr);
    EXPECT_STREQ(config.replaceOmbrixByCustomType("KV8888GM-ED_4.12.bin"), "Kort-ED_4.12.bin");
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_STREQ(config.replaceOmbrixByCustomType("KV4400WS-BX_4.12.bin"), "");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Error!! Replace Ombrix by Custom type.\n"
                                 "        Type: KV4400WS-BX_4.12.bin not in config.ini file\n");
}

TEST_F(ConfigInitTest, SerialDevicesAreListedInAStableOrder)
{
    for (const char* name : {"ttyACM0", "ttyUSB10", "ttyUSB2", "ttyS1", "ttyS0", "ttyUSBx", "ttyS", "tty0", "foo"})
        TempDir::write(std::string("dev/") + name, "");
    const std::string d = dir.path() + "/dev/";
    const std::vector<std::string> expected = {d + "ttyS0", d + "ttyS1", d + "ttyUSB2", d + "ttyUSB10", d + "ttyACM0"};
    EXPECT_EQ(ConfigInit::serialDevices((dir.path() + "/dev").c_str()), expected);
    EXPECT_TRUE(ConfigInit::serialDevices("/nonexistent").empty());
}

TEST_F(ConfigInitTest, ProbeKeepsOnlyPortsThatOpen)
{
    int master = -1, slave = -1;
    char name[64];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_LE(std::strlen(name), 15u);

    char slots[ConfigInit::MAX_COM_PORTS][ConfigInit::COM_NAME_SIZE] = {};
    const std::vector<std::string> devices = {"/dev/ttyUSB987", name, dir.path() + "/dev/ttyS0", name};
    EXPECT_EQ(ConfigInit::probePorts(devices, slots, ConfigInit::MAX_COM_PORTS), 2);
    EXPECT_STREQ(slots[0], name);
    EXPECT_STREQ(slots[1], name);  // closed again after each try
    EXPECT_STREQ(slots[2], "");

    char one[1][ConfigInit::COM_NAME_SIZE] = {};
    EXPECT_EQ(ConfigInit::probePorts(devices, one, 1), 1);

    // A port the driver holds is in use, not free to choose.
    Serial held;
    ASSERT_TRUE(held.openPort(name));
    EXPECT_EQ(ConfigInit::probePorts({name}, slots, ConfigInit::MAX_COM_PORTS), 0);
    held.closePort();
    ::close(slave);
    ::close(master);
}
