#include "korprog/progctrl/Run/KvctrlUpgrOutcome.h"

#include "korprog/progctrl/Data/Translated.h"

std::string KvctrlUpgrOutcome::english() const
{
    switch (_cause) {
    case FAILED: break;
    case ABANDONED: return "upgrade abandoned";
    case NAKS: return "the unit refused the image " + std::to_string(_n) + " times in a row";
    case RESTARTED: return "the unit restarted during the image";
    case NO_BOOT_RECORD: return "no boot record from the unit";
    case NO_BOOT_LOADER:
        return "revision pack " + _a + " has no second-stage boot loader for hardware " + (_b.empty() ? "?" : _b);
    case NOT_ALLOWED: return "the image is not allowed for the unit (type " + _a + ", hardware " + _b + ")";
    case SILENT: return "the unit stopped answering during the upgrade";
    case PORT_LOST: return "the port went away during the upgrade and did not come back";
    case EOT_UNANSWERED:
        return "the unit took the image but did not answer its end (" + std::to_string(_n) + " times sent)";
    }
    return "upgrade failed";
}

RunFailure KvctrlUpgrOutcome::failure() const
{
    using Kind = RunFailure::Kind;
    Kind kind = Kind::Other;
    switch (_cause) {
    case FAILED:
    case ABANDONED: break;
    case NAKS:
    case NO_BOOT_LOADER: kind = Kind::Refused; break;
    case NOT_ALLOWED: kind = Kind::NotAllowed; break;
    // The unit went quiet, went away or started over in the middle.
    case RESTARTED:
    case NO_BOOT_RECORD:
    case SILENT:
    case PORT_LOST:
    case EOT_UNANSWERED: kind = Kind::UnitLost; break;
    }
    return {kind, english()};
}

std::string KvctrlUpgrOutcome::what() const
{
    switch (_cause) {
    case FAILED: break;
    case ABANDONED: return Translated::message("de upgrade is opnieuw gevraagd");
    case NAKS: return Translated::message("de Korvan weigerde het image %d keer achter elkaar", _n);
    case RESTARTED: return Translated::message("de Korvan is tijdens het image opnieuw gestart");
    case NO_BOOT_RECORD: return Translated::message("de Korvan gaf geen antwoord op de 2e bootloader");
    case NO_BOOT_LOADER:
        return Translated::message("RevPack %s heeft geen 2e bootloader voor hardware %s", _a.c_str(),
                               _b.empty() ? "?" : _b.c_str());
    case NOT_ALLOWED:
        return Translated::message("het image past niet bij deze Korvan (type %s, hardware %s)", _a.c_str(), _b.c_str());
    case SILENT: return Translated::message("de Korvan antwoordt niet meer");
    case PORT_LOST: return Translated::message("de COM poort is weggevallen");
    case EOT_UNANSWERED: return Translated::message("de Korvan bevestigde het einde van het image niet");
    }
    return Translated::message("onbekende fout");
}

std::string KvctrlUpgrOutcome::told(int acked, int total) const
{
    return Translated::message("Upgrade afgebroken na %d van %d bytes: %s.", acked, total, what().c_str());
}

std::string KvctrlUpgrOutcome::finished(const char* software)
{
    return Translated::message("Upgrade gereed: de Korvan meldt software %s", software ? software : "");
}

std::string KvctrlUpgrOutcome::finishedUnacknowledged(const char* software)
{
    return Translated::message("Upgrade gereed: de Korvan meldt software %s (einde niet bevestigd)",
                           software ? software : "");
}
