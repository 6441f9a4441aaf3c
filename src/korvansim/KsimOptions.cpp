#include "korvansim/KsimOptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "korprog/KvprgProtDefs.h"

namespace {

bool toInt(const char* text, int min, int max, int* value)
{
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text, &end, 0);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    *value = static_cast<int>(v);
    return true;
}

} // namespace

const char* KsimOptions::usage()
{
    return "usage: korvansim [options]\n"
           "Plays a Korvan unit on a pseudo-terminal. The first line written to standard\n"
           "output is the terminal's device path; the log goes to standard error.\n"
           "\n"
           "Line:\n"
           "  --link PATH          also make a symbolic link PATH to the terminal\n"
           "  --baud N             pace every byte read and written as an N-baud line would\n"
           "  --hangup-grace MS    end MS milliseconds after the program closed the port (2000)\n"
           "  --persist            keep running when the program closes the port\n"
           "Identity:\n"
           "  --type CODE          unit type (KV8888GM-ED)\n"
           "  --software VERSION   7-character software version (KV-4.12)\n"
           "  --special TEXT       special build (five blanks: none)\n"
           "  --hardware VERSION   hardware version (D.49)\n"
           "  --imei DIGITS        IMEI (351234567890123)\n"
           "  --error-status N     error status byte (0)\n"
           "  --entries N          number of setting entries (200)\n"
           "  --protocol N         protocol version byte (1)\n"
           "Files:\n"
           "  --adn FILE           settings served, read at start and written after each upload\n"
           "  --image FILE         where a received firmware image is written (korvansim-image.bin)\n"
           "Boot loader:\n"
           "  --boot               start in the boot loader\n"
           "  --boot-frame         ask for boot data with frame type 11 instead of the byte 0x0B\n"
           "Faults:\n"
           "  --wait-every K       a waiting frame every K entries\n"
           "  --nak-every K        NAK every K-th frame or packet instead of answering it\n"
           "  --silent-after K     answer nothing after K frames or packets\n"
           "  --garbage N          N garbage bytes before every frame sent\n"
           "  --reset-after K      restart into the boot loader after K packets of the first image\n"
           "  --nak-packets        NAK every image packet\n"
           "  --ignore-eot N       leave the first N ends of the image (EOT) unanswered\n"
           "  --unplug-after K     the terminal goes away after packet K of the first image,\n"
           "                       before its ACK, and comes back under the --link name\n"
           "  --unplug-for MS      how long it is gone (500)\n"
           "  --store-differs N    store entry N with the last character of its text changed,\n"
           "                       so that reading the settings back shows a difference\n"
           "  --number-differs N   store entry N with the last digit of its number changed\n"
           "  --keep-version       report the old software version after an image\n"
           "  --imei-after IMEI    report this IMEI after an image, as another unit would\n"
           "  --no-settings        leave requests for the settings (download) unanswered\n"
           "  --nak-download N     answer the first N requests for the settings with NAK\n"
           "  --rx PROGRAM         after the boot record, hand the image to PROGRAM -X FILE\n"
           "                       (lrzsz rx, timeout 4 s) on a terminal of its own; FILE is\n"
           "                       the --image\n";
}

bool KsimOptions::parse(int argc, const char* const* argv, std::string* error, bool* help)
{
    *help = false;
    struct FlagOpt {
        const char* name;
        bool* value;
    } flags[] = {
        {"--boot", &startInBoot},         {"--boot-frame", &bootReqFrame},
        {"--persist", &persist},          {"--nak-packets", &nakPackets},
        {"--keep-version", &keepVersion}, {"--no-settings", &noSettings},
    };
    struct IntOpt {
        const char* name;
        int* value;
        int min;
        int max;
    } ints[] = {
        {"--error-status", &errorStatus, 0, 255},
        {"--entries", &entries, 0, 255},
        {"--protocol", &protocolVersion, 0, 255},
        {"--wait-every", &waitEvery, 0, INT_MAX},
        {"--nak-every", &nakEvery, 0, INT_MAX},
        {"--silent-after", &silentAfter, 0, INT_MAX},
        // More than seven garbage bytes make the program drop the frame: allowed, that is the test.
        {"--garbage", &garbage, 0, 64},
        {"--reset-after", &resetAfter, 0, INT_MAX},
        {"--ignore-eot", &ignoreEot, 0, INT_MAX},
        {"--unplug-after", &unplugAfter, 0, INT_MAX},
        {"--unplug-for", &unplugForMs, 0, 60000},
        {"--store-differs", &storeDiffers, 0, Kvprg::NR_ENTRIES},
        {"--number-differs", &numberDiffers, 0, Kvprg::NR_ENTRIES},
        {"--nak-download", &nakDownload, 0, INT_MAX},
        {"--baud", &baud, 0, 1000000},
        {"--hangup-grace", &hangupGraceMs, 0, 24 * 3600 * 1000},
    };
    struct TextOpt {
        const char* name;
        std::string* value;
        size_t max;
        bool statusField; // goes between double quotes, comma separated
    } texts[] = {
        {"--type", &type, 40, true},
        {"--software", &software, Kvprg::SWVERSION_LEN, true},
        {"--special", &special, 40, true},
        {"--hardware", &hardware, 40, true},
        {"--imei", &imei, 40, true},
        {"--imei-after", &imeiAfterImage, 40, true},
        {"--adn", &adnFile, 4096, false},
        {"--image", &imageFile, 4096, false},
        {"--link", &link, 4096, false},
        {"--rx", &rx, 4096, false},
    };

    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            *help = true;
            return true;
        }
        bool known = false;
        for (const FlagOpt& o : flags) {
            if (std::strcmp(arg, o.name) != 0) continue;
            known = true;
            *o.value = true;
        }
        for (const IntOpt& o : ints) {
            if (std::strcmp(arg, o.name) != 0) continue;
            known = true;
            if (i + 1 >= argc || !toInt(argv[i + 1], o.min, o.max, o.value)) {
                *error = std::string(o.name) + " needs a number from " + std::to_string(o.min) + " to " +
                         std::to_string(o.max);
                return false;
            }
            ++i;
        }
        for (const TextOpt& o : texts) {
            if (std::strcmp(arg, o.name) != 0) continue;
            known = true;
            if (i + 1 >= argc) {
                *error = std::string(o.name) + " needs a value";
                return false;
            }
            std::string v = argv[++i];
            if (v.size() > o.max ||
                (o.statusField && (v.find('"') != std::string::npos || v.find(',') != std::string::npos))) {
                *error = std::string(o.name) + ": at most " + std::to_string(o.max) + " characters" +
                         (o.statusField ? ", no double quote or comma" : "");
                return false;
            }
            *o.value = v;
        }
        if (!known) {
            *error = std::string("unknown option ") + arg;
            return false;
        }
    }
    if (imageFile.empty()) {
        *error = "--image needs a file name";
        return false;
    }
    // A new terminal has a new device path: only the link finds it again.
    if (unplugAfter > 0 && link.empty()) {
        *error = "--unplug-after needs --link";
        return false;
    }
    return true;
}
