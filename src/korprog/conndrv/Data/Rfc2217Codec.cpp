#include "korprog/conndrv/Data/Rfc2217Codec.h"

namespace {

void put(std::string& out, uint8_t b) { out += static_cast<char>(b); }

// A subnegotiation's value bytes: 0xFF doubled, as in the data.
void putValue(std::string& out, uint8_t b)
{
    put(out, b);
    if (b == Rfc2217Codec::IAC) put(out, b);
}

} // namespace

void Rfc2217Codec::send(std::string& out, uint8_t verb, uint8_t option)
{
    put(out, IAC);
    put(out, verb);
    put(out, option);
}

std::string Rfc2217Codec::start()
{
    std::string out;
    _us[OPT_BINARY] = WANT;
    send(out, WILL, OPT_BINARY);
    _him[OPT_BINARY] = WANT;
    send(out, DO, OPT_BINARY);
    _us[OPT_COM_PORT] = WANT;
    send(out, WILL, OPT_COM_PORT);
    return out;
}

std::string Rfc2217Codec::encode(const char* data, int length)
{
    std::string out;
    out.reserve(static_cast<size_t>(length > 0 ? length : 0) + 8);
    for (int i = 0; i < length; ++i) putValue(out, static_cast<uint8_t>(data[i]));
    return out;
}

int Rfc2217Codec::decode(const char* wire, int length, char* data, std::string& reply)
{
    int n = 0;
    for (int i = 0; i < length; ++i) {
        const uint8_t b = static_cast<uint8_t>(wire[i]);
        switch (_state) {
        case S_DATA:
            if (b == IAC)
                _state = S_IAC;
            else
                data[n++] = static_cast<char>(b);
            break;
        case S_IAC:
            if (b == IAC) {
                data[n++] = static_cast<char>(b);
                _state = S_DATA;
            } else if (b >= WILL && b <= DONT) {
                _verb = b;
                _state = S_OPTION;
            } else if (b == SB) {
                _sb.clear();
                _state = S_SB;
            } else {
                _state = S_DATA;  // NOP, GA, break and the like carry nothing for the unit
            }
            break;
        case S_OPTION:
            command(_verb, b, reply);
            _state = S_DATA;
            break;
        case S_SB:
            if (b == IAC)
                _state = S_SB_IAC;
            else if (_sb.size() < SB_MAX)
                _sb += static_cast<char>(b);
            break;
        case S_SB_IAC:
            if (b == IAC) {
                if (_sb.size() < SB_MAX) _sb += static_cast<char>(b);
                _state = S_SB;
            } else {
                // SE, or a command that cuts the subnegotiation short: it
                // ends here either way, and the command is read as one.
                subnegotiation();
                _state = S_DATA;
                if (b != SE) {
                    --i;
                    _state = S_IAC;
                }
            }
            break;
        }
    }
    sendSettings(reply);
    return n;
}

void Rfc2217Codec::command(uint8_t verb, uint8_t option, std::string& reply)
{
    // Each side answers only a change, so that two sides never echo a
    // request back and forth.
    switch (verb) {
    case WILL:
        if (_him[option] == WANT) {
            _him[option] = YES;
        } else if (_him[option] == NO) {
            if (option == OPT_BINARY || option == OPT_SGA) {
                _him[option] = YES;
                send(reply, DO, option);
            } else {
                send(reply, DONT, option);  // a server's echo would come back as the unit's bytes
            }
        }
        break;
    case WONT:
        if (_him[option] == YES) send(reply, DONT, option);
        _him[option] = NO;
        break;
    case DO:
        if (_us[option] == WANT) {
            _us[option] = YES;
        } else if (_us[option] == NO) {
            if (wanted(option)) {
                _us[option] = YES;
                send(reply, WILL, option);
            } else {
                send(reply, WONT, option);
            }
        }
        break;
    case DONT:
        if (_us[option] == YES) send(reply, WONT, option);
        _us[option] = NO;
        break;
    }
}

void Rfc2217Codec::sendSettings(std::string& reply)
{
    if (_settingsSent || _us[OPT_COM_PORT] != YES) return;
    _settingsSent = true;
    auto setting = [&](uint8_t cmd, const std::string& value) {
        put(reply, IAC);
        put(reply, SB);
        put(reply, OPT_COM_PORT);
        put(reply, cmd);
        for (char c : value) putValue(reply, static_cast<uint8_t>(c));
        put(reply, IAC);
        put(reply, SE);
    };
    const std::string baud = {char(BAUD >> 24), char((BAUD >> 16) & 0xFF), char((BAUD >> 8) & 0xFF), char(BAUD & 0xFF)};
    setting(SET_BAUDRATE, baud);
    setting(SET_DATASIZE, std::string(1, 8));
    setting(SET_PARITY, std::string(1, 1));    // none
    setting(SET_STOPSIZE, std::string(1, 1));  // one
    setting(SET_CONTROL, std::string(1, 1));   // no flow control
}

void Rfc2217Codec::subnegotiation()
{
    // Only the server's answers to our settings are kept; its notifications
    // of line and modem state, flow control and purges need nothing of us.
    if (_sb.size() < 2 || static_cast<uint8_t>(_sb[0]) != OPT_COM_PORT) return;
    const int cmd = static_cast<uint8_t>(_sb[1]) - SERVER_OFFSET;
    if (cmd < SET_BAUDRATE || cmd > SET_CONTROL) return;
    // A setting is one byte, the baud rate four: a longer value is no answer
    // to ours (and would not fit the number it is read into).
    const size_t length = _sb.size() - 2;
    if (length == 0 || length > 4) return;
    long value = 0;
    for (size_t k = 2; k < _sb.size(); ++k) value = (value << 8) | static_cast<uint8_t>(_sb[k]);
    _confirmed[cmd] = value;
}

bool Rfc2217Codec::settled() const
{
    if (_us[OPT_BINARY] == WANT || _him[OPT_BINARY] == WANT || _us[OPT_COM_PORT] == WANT) return false;
    if (_us[OPT_COM_PORT] == NO) return true;
    for (int c = SET_BAUDRATE; c <= SET_CONTROL; ++c)
        if (_confirmed[c] < 0) return false;
    return true;
}

std::string Rfc2217Codec::accepted() const
{
    std::string text;
    auto add = [&](const std::string& s) { text += (text.empty() ? "" : ", ") + s; };
    if (clientDoes(OPT_BINARY) && serverDoes(OPT_BINARY))
        add("binary both ways");
    else if (clientDoes(OPT_BINARY) || serverDoes(OPT_BINARY))
        add(clientDoes(OPT_BINARY) ? "binary to the server only" : "binary from the server only");
    else
        add("no binary");
    if (!clientDoes(OPT_COM_PORT)) {
        add("no COM-PORT-OPTION");
        return text;
    }
    auto told = [&](ComCommand c, const char* const* names, int count) -> std::string {
        const long v = _confirmed[c];
        if (v < 0) return "?";
        return v < count && names[v] ? names[v] : std::to_string(v);
    };
    static const char* const PARITY[] = {nullptr, "no parity", "odd parity", "even parity", "mark parity", "space parity"};
    static const char* const STOP[] = {nullptr, "1 stop bit", "2 stop bits", "1.5 stop bits"};
    static const char* const CONTROL[] = {nullptr, "no flow control", "XON/XOFF", "RTS/CTS"};
    const long baud = _confirmed[SET_BAUDRATE], bits = _confirmed[SET_DATASIZE];
    std::string line = "COM-PORT-OPTION: " + (baud < 0 ? std::string("?") : std::to_string(baud)) + " baud, " +
                       (bits < 0 ? std::string("?") : std::to_string(bits)) + " data bits, " + told(SET_PARITY, PARITY, 6) +
                       ", " + told(SET_STOPSIZE, STOP, 4) + ", " + told(SET_CONTROL, CONTROL, 4);
    add(line);
    return text;
}
