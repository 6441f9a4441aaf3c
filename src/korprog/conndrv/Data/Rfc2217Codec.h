#ifndef KORPROG_CONNDRV_DATA_RFC2217CODEC_H
#define KORPROG_CONNDRV_DATA_RFC2217CODEC_H

#include <cstdint>
#include <string>

// The client's side of a serial line over Telnet with COM-PORT-OPTION
// (RFC 2217), as bytes in and bytes out; it owns no socket. The unit's
// bytes go through whole: 0xFF is doubled on the way out and undoubled on
// the way in, and everything else the server sends (option negotiation,
// its answers to the line settings, line and modem state notifications)
// is taken here and never handed on as the unit's.
//
// The client asks for binary transmission both ways and COM-PORT-OPTION;
// once the server takes COM-PORT-OPTION it is told 9600 baud, 8 data bits,
// no parity, one stop bit, no flow control.
class Rfc2217Codec {
public:
    static constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
    static constexpr uint8_t OPT_BINARY = 0, OPT_ECHO = 1, OPT_SGA = 3, OPT_COM_PORT = 44;
    // COM-PORT-OPTION commands from the client; the server answers each
    // with the same command + 100.
    enum ComCommand : uint8_t { SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4, SET_CONTROL = 5 };
    static constexpr uint8_t SERVER_OFFSET = 100;
    static constexpr uint32_t BAUD = 9600;

    // What goes out first, on connecting.
    std::string start();
    // The unit's bytes as they go on the wire.
    static std::string encode(const char* data, int length);
    // Takes `length` bytes from the wire: the unit's bytes go to `data`
    // (never more than `length`), and what the client answers the server
    // is appended to `reply`. Returns how many of the unit's bytes came.
    int decode(const char* wire, int length, char* data, std::string& reply);

    // The server's side of an option is on (it sent WILL and we agreed).
    bool serverDoes(uint8_t option) const { return _him[option] == YES; }
    // Our side of an option is on (the server sent DO and we agreed).
    bool clientDoes(uint8_t option) const { return _us[option] == YES; }
    // The value the server answered a setting with; -1 while it has not.
    long confirmed(ComCommand c) const { return _confirmed[c]; }
    // Everything asked for has been answered, taken or refused.
    bool settled() const;
    // What the server took, for people: "binary, COM-PORT-OPTION: 9600 baud, 8N1, ...".
    std::string accepted() const;

private:
    enum Q : uint8_t { NO = 0, YES, WANT };
    enum State : uint8_t { S_DATA, S_IAC, S_OPTION, S_SB, S_SB_IAC };
    static const size_t SB_MAX = 64;

    static bool wanted(uint8_t option) { return option == OPT_BINARY || option == OPT_SGA || option == OPT_COM_PORT; }
    void command(uint8_t verb, uint8_t option, std::string& reply);
    void subnegotiation();
    void sendSettings(std::string& reply);
    static void send(std::string& out, uint8_t verb, uint8_t option);

    Q _us[256] = {};
    Q _him[256] = {};
    State _state = S_DATA;
    uint8_t _verb = 0;
    std::string _sb;
    bool _settingsSent = false;
    long _confirmed[SET_CONTROL + 1] = {-1, -1, -1, -1, -1, -1};
};

#endif
