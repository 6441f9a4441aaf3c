// What the unit sends, through the driver's receive rules and the parser
// into the controller, in each of its states: starting up, idle, fetching
// and programming settings, and upgrading (asked for by the tool or by the
// unit). The input is a script: its first two bytes choose where the
// controller starts; then each step is raw bytes, a well-formed frame of
// any type with any data, a status record, a setting entry or a boot
// record built from the input, a lone control byte, time passing, a
// request of the window, or the port taken away and brought back. Inputs
// share one connected controller where they can (FuzzController::begin).
//
// Every input must end in a defined state: after 40 silent seconds the
// controller has given the unit up ("Korvan niet aangesloten"), and a unit
// that then answers the next status request is connected again. Whatever
// the unit sent into the setting bin is saved and read back unchanged.

#include <cstdint>
#include <cstring>

#include "fuzz/support/FuzzController.h"
#include "helm/BLocalEvent.h"
#include "korprog/KvprgProtDefs.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlStateList.h"

using namespace fuzzkit;

namespace {

enum Start { INIT, IDLE, DOWNLOAD, UPLOAD, UPGRADE_BY_TOOL, UPGRADE_BY_UNIT, NR_STARTS };

const int MAX_STEPS = 2000;
const BTickType SILENCE = 4000;  // 40 s: past every time-out of every state

// The status line shows the connection's state, followed by what a
// transfer that stopped left to say.
bool shows(const std::string& line, const std::string& state)
{
    return line == state || line.rfind(state + " - ", 0) == 0;
}

std::string str(const KvprgFrame& f) { return std::string(reinterpret_cast<const char*>(f.bytes()), f.size()); }

KvprgFrame statusRecord(uint8_t errors, uint8_t entries, const std::string& type)
{
    KvprgFrame f;
    f.statusInfo(1, errors, entries, type.c_str(), "VERSION: KV-4.12", "     ", "D.49", "351234567890123");
    return f;
}

// Reads of the sizes the input gives, so frames are cut anywhere.
std::deque<size_t> cuts(Input& in)
{
    std::deque<size_t> c;
    for (unsigned n = in.pick(4); n > 0; --n) c.push_back(in.byte());
    return c;
}

void step(FuzzController& k, Input& in)
{
    switch (in.pick(9)) {
    case 0: {  // raw bytes
        const std::string b = in.piece();
        k.unit(b, cuts(in));
        break;
    }
    case 1: {  // a frame of any type, the checksum right
        const uint8_t type = in.byte();
        const std::string data = in.bytes(in.pick(Kvprg::MAX_FRAME_DATA + 1));
        KvprgFrame f;
        f.build(type, reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()));
        k.unit(str(f), cuts(in));
        break;
    }
    case 2: {  // a lone control byte
        const uint8_t lone[] = {Kvprg::ACK, Kvprg::NAK, Kvprg::BOOTLOAD_REQ_BYTE, Kvprg::EOT, Kvprg::SOH};
        k.unit(std::string(1, static_cast<char>(lone[in.pick(sizeof lone)])));
        break;
    }
    case 3: {  // time passes: up to 1.28 s in steps of the main loop, or whole seconds up to 32
        const uint8_t t = in.byte();
        if (t < 128) k.advance((BTickType(t) + 1) * 10);
        else k.advance((BTickType(t - 128) / 4 + 1) * 100, 100);
        break;
    }
    case 4: {  // the window
        switch (in.pick(7)) {
        case 0: k.post(new KvctrlDldReqEvt()); break;
        case 1: k.post(new KvctrlUplReqEvt()); break;
        case 2: k.post(new BLocalEvent(LOC_UPGRADE_REQ, true)); break;
        case 3:
            if (k.view && k.view->bndSt) k.view->bndSt->portSettings();
            k.serve();
            break;
        case 4: k.dialogs.answer = static_cast<int>(in.pick(3)) - 1; break;
        case 5: k.view->imageAllowed = !k.view->imageAllowed; break;
        default:  // the adapter pulled out, or put back
            if (k.portPresent()) k.removePort();
            else k.restorePort();
        }
        break;
    }
    case 5: {  // a status record
        const uint8_t errors = in.byte(), entries = in.byte();
        const char* const types[] = {"KV8888GM-ED", "KV8888WM-ED", "KV1111PS-BD"};
        const std::string type = in.pick(4) ? types[in.pick(3)] : in.piece();
        k.unit(str(statusRecord(errors, entries, type)), cuts(in));
        break;
    }
    case 6: {  // a setting entry
        KvprgFrame f;
        const uint8_t nr = in.byte();
        const std::string text = in.piece(), number = in.piece();
        f.settingEntry(nr, text.c_str(), number.c_str());
        k.unit(str(f), cuts(in));
        break;
    }
    case 7: {  // a boot record
        KvprgFrame f;
        const std::string hw = in.pick(2) ? std::string("D.49") : in.bytes(in.pick(6));
        const std::string type = in.pick(2) ? std::string("KV8888GM-ED") : in.bytes(in.pick(13));
        f.bootInfo(hw.c_str(), type.c_str(), in.bytes(in.pick(7)).c_str());
        k.unit(str(f), cuts(in));
        break;
    }
    default:  // the unit asks for the boot loader with a frame
        KvprgFrame f;
        f.request(Kvprg::MSG_BOOTLOAD_REQ);
        k.unit(str(f));
    }
}

// What the unit sent is saved and read back as it was: no text from the
// line may break the settings file's lines.
void savedSettingsReadBack(SettingBin& bin)
{
    bin.file("unit.adn");
    AdnFile::save(bin);
    SettingBin back(nullptr);
    std::string why;
    AdnFile::load(back, "unit.adn", AdnFile::TOLERANT, &why);
    for (int k = 1; k < SettingBin::MAX_ENTRIES; ++k) {
        const SettingEntry* a = bin.getEntry(static_cast<uint8_t>(k));
        const SettingEntry* b = back.getEntry(static_cast<uint8_t>(k));
        if ((k == 10 || k == 20) && a->text[0] == '\0') continue;  // loading fills in type and special
        if (std::strcmp(a->text, b->text) != 0 || std::strcmp(a->tfnr, b->tfnr) != 0)
            fail("entry " + std::to_string(k) + " saved as \"" + a->text + "|" + a->tfnr + "\" reads back as \"" +
                 b->text + "|" + b->tfnr + "\"");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzController k;
    Input in(data, size);
    const unsigned start = in.pick(NR_STARTS);
    const uint8_t flags = in.byte();
    const bool lifeCheckOff = (flags & 7) == 1;  // as while the upgrade tab is open

    k.begin(start == INIT);
    if (lifeCheckOff) k.root->activeLifeCk(false);
    // Loading a pack is slow: only the upgrades, and a unit in its boot
    // loader from the start, get one.
    if (start == UPGRADE_BY_TOOL || start == UPGRADE_BY_UNIT || (start == INIT && (flags & 2))) k.loadImage();
    if (start != INIT) k.unit(statusRecord(0, 200, "KV8888GM-ED"));
    switch (start) {
    case DOWNLOAD: k.post(new KvctrlDldReqEvt()); break;
    case UPLOAD:
        k.root->korSettingBin()->setEntry(10, "KV8888GM-ED", "", false, SBEntry::INVALID_TYPE);
        k.post(new KvctrlUplReqEvt());
        break;
    case UPGRADE_BY_TOOL: k.post(new BLocalEvent(LOC_UPGRADE_REQ, true)); break;
    case UPGRADE_BY_UNIT: k.unit(std::string(1, static_cast<char>(Kvprg::BOOTLOAD_REQ_BYTE))); break;
    default: break;
    }

    for (int n = 0; n < MAX_STEPS && !in.empty() && !Main::_shutdown; ++n) step(k, in);

    k.restorePort();  // the unit comes back on the same name
    if (!Main::_shutdown && k.root->activeLifeCk()) {
        k.advance(SILENCE, 500);  // a slow main loop: every time-out still fires
        if (!Main::_shutdown) {
            if (!k.in(KVCTRLDISCONNECTED) || !shows(k.view->last, "RED Korvan niet aangesloten"))
                fail("a unit silent for 40 s is not given up; the status line reads \"" + k.view->last + "\"");
            k.advance(100);  // the next status request goes out
            k.unit(statusRecord(0, 200, "KV8888GM-ED"));
            if (!k.in(KVCTRLCONNIDLE) || !shows(k.view->last, "Verbonden"))
                fail("a unit that answers again is not connected; the status line reads \"" + k.view->last + "\"");
        }
    }
    savedSettingsReadBack(*k.root->korSettingBin());
    return 0;
}
