#include "korprog/progctrl/Data/ConfigInit.h"

#include <cstring>
#include <filesystem>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DataTest.h"
#include "korprog/conndrv/Data/PortNames.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/ConfigInitOwner.h"
#include "korprog/progctrl/Data/ConfigInitView.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

// The window and the controller, as the configuration sees them.
struct Host : ConfigInitView, ConfigInitOwner {
    void configInit(ConfigInit* c) override { registered = c; }
    void openOptionsWindow() override { ++optionsOpened; }
    const char* lastRevpackFile() const override { return revpack.c_str(); }
    void lastRevpackFile(const char* f) override { revpack = f; }
    const char* lastBinFile() const override { return lastBin.c_str(); }
    void lastBinFile(const char* f) override { lastBin = f; }
    ConfigInit* registered = nullptr;
    int optionsOpened = 0;
    std::string revpack, lastBin;
};

// No real device is touched: the probe looks in an empty directory.
class ConfigInitTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        ::mkdir("dev", 0755);
        ConfigInit::devicesDir(devices.c_str());
    }
    void TearDown() override
    {
        ConfigInit::devicesDir(nullptr);
        DataTest::TearDown();
    }

    const std::string devices = dir.path() + "/dev";
    Host host;
    SettingBin bin{nullptr};
};

}  // namespace

TEST_F(ConfigInitTest, MissingPreferencesAlertAndOpenTheOptionsWindow)
{
    {
        ConfigInit config(&bin, &host, &host);
        EXPECT_EQ(host.registered, &config);
        EXPECT_EQ(bin.korTypeNames(), &config);
        EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Attentie!! Bestand \"config.ini\" niet aanwezig.\n"
                                                           "Voor communicatie met Korvan eerst COM poort,\n"
                                                           "via Opties knop instellen.\n"});
        EXPECT_EQ(host.optionsOpened, 1);
    }
    EXPECT_EQ(bin.korTypeNames(), nullptr);
    EXPECT_EQ(TempDir::read("config.ini"), "settingfile=\ncomport=\nlastrevpack=\nlastbin=\nverify=1\n");
}

// A preferences file that is there but cannot be read is named with the
// reason, once, and left as it is; it is not "missing".
TEST_F(ConfigInitTest, UnreadablePreferencesAreToldWithTheirReasonAndKept)
{
    ::mkdir("config.ini", 0755);
    { ConfigInit config(&bin, &host, &host); }
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Fout!! Bestand \"config.ini\" kan niet gelezen worden: Is a "
                                                       "directory.\nDe voorkeuren worden deze keer niet opgeslagen.\n"});
    EXPECT_EQ(host.optionsOpened, 1) << "a port can still be chosen for this run";
    EXPECT_TRUE(std::filesystem::is_directory("config.ini"));

    ::rmdir("config.ini");
    // Root reads whatever the mode says; a link to itself nobody can read.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::symlink("config.ini", "config.ini"), 0);
    } else {
        TempDir::write("config.ini", "comport=/dev/ttyUSB0\nkorvantype=KV8888GM-ED;Alarmbox\n");
        ::chmod("config.ini", 0200);
    }
    dialogs.alerts.clear();
    { ConfigInit config(&bin, &host, &host); }
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find(root ? "\"config.ini\" kan niet gelezen worden: Too many levels of symbolic links."
                                          : "\"config.ini\" kan niet gelezen worden: Permission denied."),
              std::string::npos)
        << dialogs.alerts[0];
    if (root) {
        EXPECT_EQ(std::filesystem::read_symlink("config.ini"), "config.ini");
        return;
    }
    ::chmod("config.ini", 0600);
    EXPECT_EQ(TempDir::read("config.ini"), "comport=/dev/ttyUSB0\nkorvantype=KV8888GM-ED;Alarmbox\n");
}

// The user keeps the preferences elsewhere and links them in: the link stays.
TEST_F(ConfigInitTest, LinkedPreferencesAreWrittenWhereTheLinkPoints)
{
    ::mkdir("shared", 0755);
    TempDir::write("shared/config.ini", "comport=/dev/ttyUSB0\n");
    ASSERT_EQ(::symlink("shared/config.ini", "config.ini"), 0);
    {
        ConfigInit config(&bin, &host, &host);
        config.comActive("/dev/ttyUSB1");
    }
    EXPECT_TRUE(std::filesystem::is_symlink("config.ini"));
    EXPECT_EQ(TempDir::read("shared/config.ini"), "settingfile=\ncomport=/dev/ttyUSB1\nlastrevpack=\nlastbin=\nverify=1\n");
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(ConfigInitTest, PreferencesReadAndWrittenBackUnchanged)
{
    const char* const ini = "settingfile=/home/service/units/klant 12.adn\n"
                            "comport=/dev/ttyUSB0\n"
                            "korvantype=KV8888GM-ED;Alarmbox GSM\n"
                            "korvantype=KV4400WS-BX;Alarmbox GPRS\n"
                            "korvantype=KV8888GM-ED;Tweede naam\n"
                            "lastrevpack=/var/revpacks/KV-4.12.rpa\n"
                            "lastbin=KV8888GM-ED_4.12.bin\n"
                            "verify=0\n";
    TempDir::write("config.ini", ini);
    {
        ConfigInit config(&bin, &host, &host);
        EXPECT_TRUE(dialogs.alerts.empty());
        EXPECT_EQ(host.optionsOpened, 0);
        EXPECT_STREQ(bin.file(), "/home/service/units/klant 12.adn");
        EXPECT_STREQ(config.comActive(), "/dev/ttyUSB0");
        EXPECT_EQ(host.revpack, "/var/revpacks/KV-4.12.rpa");
        EXPECT_EQ(host.lastBin, "KV8888GM-ED_4.12.bin");
        ASSERT_EQ(config.korTypes().size(), 3u);
        EXPECT_STREQ(config.korTypes()[1], "Alarmbox GPRS");
        EXPECT_STREQ(config.customKorType("KV8888GM-ED"), "Alarmbox GSM");  // the first pair of a code wins
        EXPECT_STREQ(config.ombrixKorType("Tweede naam"), "KV8888GM-ED");
        EXPECT_STREQ(config.customKorType("KV1111GM-ED"), "KV1111GM-ED");
        EXPECT_STREQ(config.ombrixKorType("Onbekend"), "");
        bin.korTypeFromNew("Alarmbox GPRS", "", true);  // new settings by custom name get the standard code
        EXPECT_STREQ(bin.korType(), "KV4400WS-BX");
        EXPECT_FALSE(config.verifyAfterProgramming());
    }
    EXPECT_EQ(TempDir::read("config.ini"), ini);
}

TEST_F(ConfigInitTest, OddPreferenceLines)
{
    TempDir::write("config.ini", "korvantype=KV8888GM-ED\r\nkorvantype=KV2200PM-EX;\n\nunknown=1\nno equals sign\n"
                                 "korvantype=;Zonder code\n"
                                 "comport=/dev/serial/by-id/usb-FTDI\nlastbin=" + std::string(100, 'b') + "\n");
    {
        ConfigInit config(&bin, nullptr, &host);
        // A name without a code is kept for the file, but names nothing.
        EXPECT_EQ(config.korTypes().size(), 2u);
        EXPECT_STREQ(config.customKorType(""), "");
        EXPECT_STREQ(config.replaceOmbrixByCustomType("KV2200PM-EX_1.bin"), "KV2200PM-EX_1.bin");
        EXPECT_STREQ(config.comActive(), "/dev/serial/by-id/usb-FTDI");  // a device path is held whole
        EXPECT_EQ(host.lastBin, std::string(79, 'b'));
        const std::string longest = "/dev/serial/by-id/" + std::string(237, 'u');
        EXPECT_TRUE(config.comActive(longest.c_str()));
        EXPECT_EQ(config.comActive(), longest);
        EXPECT_FALSE(config.comActive((longest + "0").c_str())) << "refused rather than cut to another device";
        EXPECT_EQ(config.comActive(), longest);
        EXPECT_TRUE(config.comActive("/dev/ttyUSB1234567890"));
    }
    EXPECT_EQ(TempDir::read("config.ini"), "settingfile=\ncomport=/dev/ttyUSB1234567890\n"
                                           "korvantype=KV8888GM-ED;KV8888GM-ED\nkorvantype=KV2200PM-EX;KV2200PM-EX\n"
                                           "korvantype=;Zonder code\nlastrevpack=\nlastbin=" + std::string(79, 'b') + "\nverify=1\n");
}

TEST_F(ConfigInitTest, PortForOneRunIsUsedOnlyWhileNoneIsChosenAndNeverWrittenBack)
{
    setenv(ConfigInit::RUN_PORT_VARIABLE, "/tmp/korvan0", 1);
    TempDir::write("config.ini", "comport=\n");
    {
        ConfigInit config(&bin, nullptr, nullptr);
        EXPECT_STREQ(config.comActive(), "/tmp/korvan0");
    }
    EXPECT_EQ(TempDir::read("config.ini"), "settingfile=\ncomport=\nlastrevpack=\nlastbin=\nverify=1\n");
    {
        ConfigInit config(&bin, nullptr, nullptr);
        config.comActive("/dev/ttyUSB0");  // the user's own choice sticks
    }
    unsetenv(ConfigInit::RUN_PORT_VARIABLE);
    EXPECT_NE(TempDir::read("config.ini").find("comport=/dev/ttyUSB0\n"), std::string::npos);
}

TEST_F(ConfigInitTest, ReplaceOmbrixByCustomType)
{
    TempDir::write("config.ini", "korvantype=KV8888GM;Kort\nkorvantype=KV8888GM-ED;Lang\n");
    ConfigInit config(&bin, nullptr, nullptr);
    EXPECT_STREQ(config.replaceOmbrixByCustomType("KV8888GM-ED_4.12.bin"), "Kort-ED_4.12.bin");  // first read wins
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_STREQ(config.replaceOmbrixByCustomType("KV4400WS-BX_4.12.bin"), "");
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Error!! Replace Ombrix by Custom type.\n"
                                                       "        Type: KV4400WS-BX_4.12.bin not in config.ini file\n"});
}

TEST_F(ConfigInitTest, ProbeListsSerialDevicesThatOpen)
{
    for (const char* name : {"ttyACM0", "ttyUSB10", "ttyUSB2", "ttyS1", "ttyS0", "ttyUSBx", "ttyS", "tty0", "foo"})
        TempDir::write("dev/" + std::string(name), "");
    const std::string d = devices + "/";
    EXPECT_EQ(PortNames::serialDevices(devices),
              (std::vector<std::string>{d + "ttyUSB2", d + "ttyUSB10", d + "ttyACM0", d + "ttyS0", d + "ttyS1"}));
    EXPECT_TRUE(PortNames::serialDevices("/nonexistent").empty());

    int master = -1, slave = -1;
    char name[64];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_LE(std::strlen(name), 15u);
    char slots[ConfigInit::MAX_COM_PORTS][ConfigInit::COM_NAME_SIZE] = {};
    const std::vector<std::string> tried = {"/dev/ttyUSB987", name, d + "ttyS0", name};
    EXPECT_EQ(ConfigInit::probePorts(tried, slots, ConfigInit::MAX_COM_PORTS), 2);
    EXPECT_STREQ(slots[0], name);
    EXPECT_STREQ(slots[1], name);  // closed again after each try
    EXPECT_STREQ(slots[2], "");
    char one[1][ConfigInit::COM_NAME_SIZE] = {};
    EXPECT_EQ(ConfigInit::probePorts(tried, one, 1), 1);

    Serial held;  // a port the driver holds is in use, not free to choose
    ASSERT_TRUE(held.openPort(name));
    EXPECT_EQ(ConfigInit::probePorts({name}, slots, ConfigInit::MAX_COM_PORTS), 0);
    held.closePort();
    ::close(slave);
    ::close(master);
}

// A pair without a standard code read first: the empty code is a prefix of
// every name, but names no type.
TEST_F(ConfigInitTest, PairWithoutAStandardCodeReadFirstReplacesNothing)
{
    TempDir::write("config.ini", "korvantype=;Naam\nkorvantype=KV8888GM-ED;Alarmbox\n");
    ConfigInit config(&bin, nullptr, nullptr);
    EXPECT_STREQ(config.replaceOmbrixByCustomType("KV8888GM-ED_4.12.bin"), "Alarmbox_4.12.bin");
    EXPECT_STREQ(config.replaceOmbrixByCustomType("KV4400WS-BX_4.12.bin"), "");
    EXPECT_EQ(dialogs.alerts.size(), 1u);
}
