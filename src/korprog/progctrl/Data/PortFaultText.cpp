#include "korprog/progctrl/Data/PortFaultText.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"

std::string PortFaultText::finding(Serial::OpenFault fault, const char* port, pid_t holder, const char* reason)
{
    if (!port) port = "";
    if (!reason) reason = "";
    switch (fault) {
    case Serial::OPEN_OK: return "";
    case Serial::NO_PORT_NAME: return gettext("Voor communicatie met Korvan eerst COM poort", 0);
    case Serial::NO_SUCH_PORT: return Translated::message("COM poort %s bestaat niet", port);
    case Serial::NO_PERMISSION: return Translated::message("Geen toegang tot COM poort %s", port);
    case Serial::PORT_BUSY: return Translated::message("COM poort %s is in gebruik door een ander programma", port);
    case Serial::PORT_LOCKED:
        return holder > 0 ? Translated::message("COM poort %s is in gebruik door KorProg (proces %d)", port, int(holder))
                          : Translated::message("COM poort %s is in gebruik door een andere KorProg", port);
    case Serial::NOT_A_SERIAL_PORT: return Translated::message("COM poort %s reageert niet", port);
    case Serial::NO_CONNECTION: return Translated::message("Geen verbinding met %s: %s", port, reason);
    }
    return "";
}

std::string PortFaultText::remedy(Serial::OpenFault fault)
{
    switch (fault) {
    case Serial::OPEN_OK: return "";
    case Serial::NO_PORT_NAME: return gettext("via Opties knop instellen", 0);
    case Serial::NO_SUCH_PORT: return gettext("Controleer de kabel of kies een andere poort via Opties", 0);
    case Serial::NO_PERMISSION:
        return std::string(gettext("Voeg uw gebruiker toe aan de groep dialout", 0)) +
               ":\n    sudo usermod -aG dialout $USER\n" + gettext("en meld daarna opnieuw aan", 0);
    case Serial::PORT_BUSY: return gettext("Sluit dat programma of kies een andere poort via Opties", 0);
    case Serial::PORT_LOCKED: return gettext("Wacht tot die klaar is of kies een andere poort via Opties", 0);
    case Serial::NOT_A_SERIAL_PORT: return gettext("Kies een andere poort via Opties", 0);
    case Serial::NO_CONNECTION: return gettext("Controleer het adres en of de server luistert", 0);
    }
    return "";
}

std::string PortFaultText::brief(Serial::OpenFault fault, pid_t holder)
{
    switch (fault) {
    case Serial::OPEN_OK: return "";
    case Serial::PORT_LOCKED:
    case Serial::PORT_BUSY:
        return holder > 0 ? Translated::message("in gebruik door KorProg (proces %d)", int(holder))
                          : gettext("in gebruik door een ander programma", 0);
    case Serial::NO_PERMISSION: return gettext("geen toegang (groep dialout)", 0);
    case Serial::NO_SUCH_PORT: return gettext("bestaat niet", 0);
    case Serial::NO_CONNECTION: return gettext("geen verbinding", 0);
    default: return gettext("reageert niet als seriële poort", 0);
    }
}

std::string PortFaultText::full(Serial::OpenFault fault, const char* port, pid_t holder, const char* reason)
{
    if (fault == Serial::OPEN_OK) return "";
    // "No port chosen yet" and where to choose one are one sentence.
    return finding(fault, port, holder, reason) + (fault == Serial::NO_PORT_NAME ? ",\n" : ".\n") + remedy(fault) + ".";
}
