#include "korprog/conndrv/Data/Rfc2217Codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korprog/conndrv/Data/NetAddress.h"

namespace {

using C = Rfc2217Codec;

std::string cmd(uint8_t verb, uint8_t option) { return {char(C::IAC), char(verb), char(option)}; }
std::string sb(const std::string& body) { return std::string{char(C::IAC), char(C::SB)} + body + std::string{char(C::IAC), char(C::SE)}; }
std::string comPort(uint8_t c, const std::string& value) { return sb(std::string{char(C::OPT_COM_PORT), char(c)} + value); }

// What the client sends once the server takes COM-PORT-OPTION.
std::string settings()
{
    return comPort(C::SET_BAUDRATE, std::string("\x00\x00\x25\x80", 4)) + comPort(C::SET_DATASIZE, "\x08") +
           comPort(C::SET_PARITY, "\x01") + comPort(C::SET_STOPSIZE, "\x01") + comPort(C::SET_CONTROL, "\x01");
}

struct Decoded {
    std::string data, reply;
};

// Feeds the wire in reads cut after every `cut` bytes.
Decoded feed(C& codec, const std::string& wire, size_t cut)
{
    Decoded d;
    for (size_t at = 0; at < wire.size(); at += cut) {
        const std::string part = wire.substr(at, cut);
        std::vector<char> out(part.size() + 1);
        const int n = codec.decode(part.data(), int(part.size()), out.data(), d.reply);
        EXPECT_LE(n, int(part.size()));
        d.data.append(out.data(), size_t(n));
    }
    return d;
}

TEST(Rfc2217Codec, TheUnitsBytesComeThroughWholeHoweverTheReadsCutTheWire)
{
    // Doubled 0xFF, commands, a notification with a doubled 0xFF in it, and
    // the answer to a setting, among the unit's bytes.
    const std::string wire = std::string("A") + "\xFF\xFF" + "B" + cmd(C::WILL, C::OPT_BINARY) +
                             comPort(107, "\xFF\xFF") + "\xFF\xFF\xFF\xFF" + cmd(241 /* NOP */, 0).substr(0, 2) +
                             comPort(101, std::string("\x00\x00\x25\x80", 4)) + "C\xFF\xFF";
    const std::string unit = "A\xFF" "B\xFF\xFF" "C\xFF";
    for (size_t cut : {1u, 2u, 3u, 5u, 7u, 1000u}) {
        SCOPED_TRACE(cut);
        C codec;
        codec.start();
        const Decoded d = feed(codec, wire, cut);
        EXPECT_EQ(d.data, unit);
        EXPECT_EQ(d.reply, "") << "WILL BINARY answers our DO";
        EXPECT_EQ(codec.confirmed(C::SET_BAUDRATE), 9600);
    }
    EXPECT_EQ(C::encode("\x01\xFF\x02\xFF\xFF", 5), "\x01\xFF\xFF\x02\xFF\xFF\xFF\xFF");
}

TEST(Rfc2217Codec, EachRequestGetsOneAnswerAndNoneLoops)
{
    struct Case {
        const char* what;
        std::string server, reply;
    };
    const std::vector<Case> cases = {
        {"our requests answered", cmd(C::DO, C::OPT_BINARY) + cmd(C::WILL, C::OPT_BINARY), ""},
        {"no echo from the server", cmd(C::WILL, C::OPT_ECHO), cmd(C::DONT, C::OPT_ECHO)},
        {"suppress go-ahead both ways", cmd(C::WILL, C::OPT_SGA) + cmd(C::DO, C::OPT_SGA),
         cmd(C::DO, C::OPT_SGA) + cmd(C::WILL, C::OPT_SGA)},
        {"an option we do not have", cmd(C::DO, 24), cmd(C::WONT, 24)},
        {"off what is off", cmd(C::DONT, C::OPT_ECHO) + cmd(C::WONT, C::OPT_ECHO), ""},
        {"COM-PORT-OPTION taken, settings once", cmd(C::DO, C::OPT_COM_PORT) + cmd(C::DO, C::OPT_COM_PORT), settings()},
        {"binary taken back", cmd(C::WILL, C::OPT_BINARY) + cmd(C::WONT, C::OPT_BINARY), cmd(C::DONT, C::OPT_BINARY)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        C codec;
        EXPECT_EQ(codec.start(), cmd(C::WILL, C::OPT_BINARY) + cmd(C::DO, C::OPT_BINARY) + cmd(C::WILL, C::OPT_COM_PORT));
        EXPECT_EQ(feed(codec, c.server, 1000).reply, c.reply);
    }
}

TEST(Rfc2217Codec, SettledOnceTheServerAnsweredEverySettingAndSaysWhatItTook)
{
    C codec;
    codec.start();
    Decoded d = feed(codec, cmd(C::DO, C::OPT_BINARY) + cmd(C::WILL, C::OPT_BINARY) + cmd(C::DO, C::OPT_COM_PORT), 1000);
    EXPECT_FALSE(codec.settled());
    // A value longer than any setting's is no answer (and once overflowed the number it was read into).
    d = feed(codec, comPort(101, std::string("\x65\x20\x01\x1c\x08\xff\xff\xbd\xf0\x01", 10)), 3);
    EXPECT_FALSE(codec.settled());
    d = feed(codec, comPort(101, std::string("\x00\x00\x25\x80", 4)) + comPort(102, "\x08") + comPort(103, "\x01") +
                        comPort(104, "\x01") + comPort(105, "\x01"),
             4);
    EXPECT_TRUE(codec.settled());
    EXPECT_EQ(codec.accepted(), "binary both ways, COM-PORT-OPTION: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control");

    // A server without COM-PORT-OPTION has settled once it refused it.
    C plain;
    plain.start();
    feed(plain, cmd(C::DO, C::OPT_BINARY) + cmd(C::WILL, C::OPT_BINARY) + cmd(C::DONT, C::OPT_COM_PORT), 1000);
    EXPECT_TRUE(plain.settled());
    EXPECT_EQ(plain.accepted(), "binary both ways, no COM-PORT-OPTION");
}

TEST(NetAddress, NamesThatAreNetworkPortsAndTheirFaults)
{
    struct Case {
        const char* name;
        bool ok;
        const char* hostPort;
    };
    const std::vector<Case> cases = {
        {"rfc2217://127.0.0.1:4001", true, "127.0.0.1:4001"},
        {"SOCKET://Rack-3.local:23", true, "Rack-3.local:23"},
        {"rfc2217://[::1]:4001", true, "[::1]:4001"},
        {"rfc2217://127.0.0.1", false, ""},
        {"rfc2217://:4001", false, ""},
        {"rfc2217://host:0", false, ""},
        {"rfc2217://host:65536", false, ""},
        {"rfc2217://host:40a1", false, ""},
        {"rfc2217://ho st:4001", false, ""},
        {"telnet://host:23", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(NetAddress::isNetName(c.name));
        NetAddress a;
        std::string why;
        EXPECT_EQ(a.parse(c.name, &why), c.ok) << why;
        if (c.ok) {
            EXPECT_EQ(a.hostPort(), c.hostPort);
        }
    }
    EXPECT_FALSE(NetAddress::isNetName("/dev/ttyUSB0"));
    EXPECT_FALSE(NetAddress::isNetName("COM3"));
    NetAddress a, b;
    ASSERT_TRUE(a.parse("rfc2217://Rack:4001") && b.parse("socket://rack:4001"));
    EXPECT_TRUE(a.samePort(b));
}

}  // namespace
