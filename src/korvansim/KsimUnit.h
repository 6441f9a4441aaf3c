#ifndef KORVANSIM_KSIMUNIT_H
#define KORVANSIM_KSIMUNIT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korprog/KvprgFrame.h"
#include "korvansim/KsimOptions.h"
#include "korvansim/KsimSettings.h"

// The unit's side of the protocol, without any I/O of its own: bytes from
// the line go in through receive(), the bytes to send come out of
// takeOutput(), and time is passed in (microseconds of a monotonic clock),
// so tests can drive it with a clock of their own.
//
// As the application it answers status requests, serves its settings
// (download), takes new ones (upload) and answers life checks. An upgrade
// request restarts it into its boot loader, which asks for boot data, answers
// the boot data frame with its boot record, asks for the first packet with
// NAK, takes the image packet by packet and, after EOT, writes the image to a
// file and comes back as the application.
class KsimUnit {
public:
    typedef std::function<void(const std::string&)> Log;

    enum Mode { APPLICATION, BOOT_WAIT_DATA, BOOT_WAIT_PACKET, BOOT_IMAGE };

    // Timing of the boot loader and of the receiver.
    static constexpr int64_t NAK_DELAY_US = 300000;     // boot record, then NAK for packet 1
    static constexpr int64_t NAK_REPEAT_US = 3000000;   // NAK again until packet 1 comes
    static constexpr int64_t BOOTREQ_REPEAT_US = 2000000; // boot-loader request after this long without traffic
    static constexpr int64_t QUIET_US = 50000;          // the boot data frame is complete after this pause
    static constexpr int64_t STALE_US = 1000000;        // an unfinished frame is dropped after this pause
    static constexpr int MAX_IMAGE_PACKETS = 8192;      // 1 MiB of image

    KsimUnit(const KsimOptions& options, KsimSettings* settings, Log log);

    void start(int64_t nowUs);
    // The program opened or closed the port.
    void lineOpened(int64_t nowUs);
    void lineClosed();
    void receive(const uint8_t* bytes, int nrBytes, int64_t nowUs);
    // Runs the timers and finishes input that waited for a pause.
    void poll(int64_t nowUs);
    // The next time poll() has something to do; -1 when nothing waits.
    int64_t nextDeadline() const;
    std::string takeOutput();

    // True once, when the line is to go away (the --unplug-after fault):
    // the runner then drops what the unit would send and closes the terminal.
    bool takeUnplug();
    // True once, when the boot record is out and the image phase goes to an
    // outside receiver (the --rx option); the runner relays it from then on.
    bool takeHandOver();
    // The outside receiver has ended: with ok, the image it wrote to the
    // --image file is the unit's new firmware.
    void imageByReceiver(bool ok);

    Mode mode() const { return _mode; }
    const std::string& software() const { return _software; }
    int imagesWritten() const { return _imagesWritten; }
    // Bytes as the log shows them: hex; a long run shows its first 32 and
    // its length.
    static std::string hex(const uint8_t* b, size_t n);

private:
    enum AppState { IDLE, DOWNLOADING, UPLOADING };

    void process(bool paused);
    // Size of the message at the front of the input, 0 while that is not
    // known yet; *packet tells a firmware packet from a frame.
    int messageSize(bool paused, bool* packet) const;
    int bootDataEnd(bool paused) const;
    void dropInput(size_t n, const char* why);

    void handleByte(uint8_t b);
    void handleFrame(const KvprgFrame& frame);
    void handleAppFrame(const KvprgFrame& frame);
    void handleBootFrame(const KvprgFrame& frame);
    void handlePacket(const uint8_t* bytes);
    // Counts a received frame or packet for the faults; true when it is to
    // be answered normally.
    bool countAndAnswer(const char* what);

    void sendEntryOrEnd();
    void uploadEntry(const KvprgFrame& frame);
    void finishUpload();
    // The boot loader (KsimUnitBoot.cpp).
    void enterBootLoader(const char* why);
    void finishImage();
    // The new firmware's version and type, and back as the application.
    void runImage();

    void sendByte(uint8_t b, const std::string& what);
    void sendFrame(const KvprgFrame& frame, const std::string& what);
    void sendStatus();
    void sendBootReq();
    void log(const std::string& text) const;

    const KsimOptions& _opt;
    KsimSettings* _settings;
    Log _log;

    Mode _mode;
    AppState _app;
    std::string _software;
    std::string _type;  // the image's when it names one
    std::string _imei;
    bool _lineOpen;
    bool _silent;
    int _framesReceived;

    int64_t _now;
    std::vector<uint8_t> _in;
    int64_t _lastRxUs;
    bool _pauseHandled; // input already looked at after the pause since the last byte
    int64_t _lastTrafficUs;
    std::string _out;
    KvprgFrame _lastFrame; // sent again when the program answers NAK
    std::string _lastWhat;

    // Download and upload.
    int _dlNext;
    int _dlSinceWait;
    bool _dlWaiting;
    int _dlNaks;
    int _ulStored;
    bool _ulWaited;

    // Boot loader.
    int64_t _nakDueUs;
    std::vector<uint8_t> _image;
    int _packets;
    bool _resetDone;
    int _imagesWritten;
    int _eotsIgnored;
    bool _unplugDone;
    bool _unplugDue;
    bool _handOverDue;
};

#endif
