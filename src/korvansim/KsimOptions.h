#ifndef KORVANSIM_KSIMOPTIONS_H
#define KORVANSIM_KSIMOPTIONS_H

#include <string>

// Command line of the unit simulator: the unit's identity, its settings and
// firmware files, and the faults it can put on the line for testing.
struct KsimOptions {
    // Identity, as the status record and the boot record report it.
    std::string type = "KV8888GM-ED";
    std::string software = "KV-4.12";
    std::string special = "     ";
    std::string hardware = "D.49";
    std::string imei = "351234567890123";
    int errorStatus = 0;
    int entries = 200;
    int protocolVersion = 1;

    std::string adnFile;                           // settings served and kept; empty: in memory only
    std::string imageFile = "korvansim-image.bin"; // where a received firmware image goes
    bool startInBoot = false;
    bool bootReqFrame = false; // boot-loader request as frame type 11 instead of the byte 0x0B

    // Faults; 0 switches each off.
    int waitEvery = 0;   // a waiting frame after every k entries (download and upload)
    int nakEvery = 0;    // NAK instead of the answer to every k-th frame or packet
    int silentAfter = 0; // no answer at all after k frames or packets
    int garbage = 0;     // this many garbage bytes before every frame sent
    int resetAfter = 0;  // boot-loader request (a reset) after k packets of the first image
    bool nakPackets = false; // NAK every image packet: the image never gets through
    int ignoreEot = 0;   // leave the first n EOTs unanswered, as if lost on the line
    int unplugAfter = 0; // the terminal goes away after packet k of the first image (its ACK lost)
    int unplugForMs = 500; // and comes back under the same link this much later
    int storeDiffers = 0;  // entry n is stored with the last character of its text changed
    int numberDiffers = 0; // entry n is stored with the last digit of its number changed
    bool keepVersion = false; // the software version stays the old one after an image
    std::string imeiAfterImage; // another unit reports itself after an image: this IMEI
    bool noSettings = false;  // a download request (the settings) gets no answer
    int nakDownload = 0;      // the first n download requests are answered NAK
    std::string rx;           // the image phase goes to this XMODEM receiver (rx -X) on a terminal of its own

    int baud = 0;           // pace every byte read and written as a line of this rate would
    std::string link;       // symbolic link to the pseudo-terminal
    int hangupGraceMs = 2000; // end this long after the tool closed the port
    bool persist = false;   // stay when the tool closes the port

    // Fills the options from argv; false with a message in *error on a bad
    // command line. *help is set for --help.
    bool parse(int argc, const char* const* argv, std::string* error, bool* help);
    static const char* usage();
};

#endif
