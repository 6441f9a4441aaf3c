#include "main/MainStartup.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "helm/BMainLoop.h"
#include "helm/BScheduler.h"
#include "helm/platform/BNamedMutex.h"
#include "korprog/Dialog.h"
#include "korprog/RunFailure.h"
#include "korprog/RunMode.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/conndrv/States/KvcdrvRoot.h"
#include "korprog/progctrl/Data/RPFile.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "main/Doctor.h"
#include "main/Main.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"
#include "korprog/runlog/StatusOut.h"
#include "main/MainSignals.h"
#include "main/MainWait.h"
#include "main/PackImport.h"
#include "main/PortListing.h"
#include "main/ProductionLine.h"
#include "main/UserDir.h"

// Last: Xlib (through FLTK's x.H) defines macros (None, Status) that other
// headers use as names.
#include <FL/x.H>

namespace fs = std::filesystem;

namespace {

// Option texts are the command line's own.
const char* const USAGE_LINES_1[] = {
    "-bindir,        Directory where binfiles are stored",
    "                e.g. \"korprog -cmdl_crtrpa -bindir <directory>\"",
    "-createrevpack, Create RevPack database via KorProg gui",
    "-nohwcheck,     No check on hardware revision.",
};

// After the usage text: the options and exit codes of unattended runs.
const char* const USAGE_ADDED[] = {
    "",
    "Unattended runs (-program, -upgrade, -cmdl_crtrpa) also take:",
    "  -json          JSON Lines events on standard output, messages on standard error",
    "  -report FILE   append one JSON record of the run to FILE",
    "  -q             only the result line and errors",
    "  -nobackup      no backup of the unit's settings before an upgrade",
    "  -noverify      no read-back of the settings after programming",
    "  -port DEV      the port for this run (COMn or a device path, such as",
    "                 /dev/serial/by-id/...), not written into config.ini; also",
    "                 for the window. Several -port options: the run on every",
    "                 port at once, then a summary",
    "",
    "  -list-ports    list the serial ports and the Korvan units that answer there",
    "",
    "  -doctor [-json] checks the serial ports, their permissions, the user's",
    "                 directory, the data files and the display; one line per",
    "                 check (-json: one object), exit code 0 when all hold, else 1",
    "",
    "Exit codes:",
    "   0  done",
    "   1  any other failure",
    "   2  another instance holds the program or the port",
    "   3  input refused before the unit was asked (file, pack, image, option)",
    "   4  the port cannot be opened",
    "   5  no unit answered",
    "   6  the unit was lost or stopped answering during the run",
    "   7  the unit refused (ten NAKs in a row, an entry, the boot loader)",
    "   8  the image is not allowed for this unit",
    "   9  verification failed",
    "  10  the backup before the upgrade failed",
};

void trace(const std::string& text) { BTrace::instance()->dbgPrint(text, true, true); }

// A modal dialog runs a loop of its own: when the program is asked to end
// meanwhile (a signal), the dialog closes as if cancelled. One shown while
// the program ends on its own (a file that cannot be saved) stays.
void closeDialogOnShutdown(void*)
{
    if (MainSignals::received() && Fl::modal()) Fl::modal()->hide();
}

// How many values follow an option.
int valuesOf(const char* option)
{
    for (const char* o : {"-bindir", "-revpack", "-binfile", "-program", "-report", "-port"})
        if (!std::strcmp(option, o)) return 1;
    return std::strcmp(option, "-remdbg") == 0 ? 2 : 0;
}

// An option's values follow it; one missing at the end of the command line,
// or given as "", is refused: the run would otherwise be another one.
bool takeValue(int argc, char** argv, int& i, int n, const char** values, std::string* why)
{
    const char* option = argv[i];
    for (int k = 0; k < n; ++k) {
        if (i + 1 + k >= argc || argv[i + 1 + k][0] == '\0') {
            *why = std::string(option) + " needs " + (n == 1 ? "a value" : std::to_string(n) + " values") +
                   (i + 1 + k >= argc ? "" : ", not an empty one");
            return false;
        }
        values[k] = argv[i + 1 + k];
    }
    i += n;
    return true;
}

// Paths given on the command line mean what they meant where the user
// started the program, also once it runs in its own directory.
const char* fromStartDir(std::string& store, const fs::path& start, const char* path)
{
    if (!path || !*path || path[0] == '/' || start.empty()) return path;
    store = (start / path).lexically_normal().string();
    return store.c_str();
}

bool isReadableFile(const char* path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

std::string MainStartup::_packArgument;

bool MainStartup::usage(int argc, char** argv, FILE* out)
{
    if (argc != 2 || !std::strstr(argv[1], "help")) return false;
    const std::string hashes(79, '#');
    std::fprintf(out, "%s\n", hashes.c_str());
    std::fprintf(out, "# Usage: %s", argv[0]);
    std::fprintf(out, "\n#  %s\n", "-cmdl_crtrpa,   Create RevPack database via KorProg command line");
    for (const char* l : USAGE_LINES_1) std::fprintf(out, "#  %s\n", l);
    std::fprintf(out, "\n#  %s\n", "-upgrade,       Sofware upgrade via the commandline.");
    const std::string carets = std::string(42, ' ') + std::string(32, '^');
    const char* const lines2[] = {
        "                e.g. -upgrade -revpack <rpa> -binfile <xx.bin>",
        "-revpack,       RevPack database which is stored in ./RevPacks",
        "                e.g. -revpack KV-xxx[yyy] (No ./RevPacks/, *.rpa included)",
        carets.c_str(),
        "-binfile,       Binfile containing the desired sofware version",
        "-program,       Program settings via command line",
        "                e.g. \"korprog -program <\"C:\\xx yy\\file.adn\">\"",
    };
    for (const char* l : lines2) std::fprintf(out, "#  %s\n", l);
    std::fprintf(out, "%s\n", hashes.c_str());
    // What this version adds, after the usage text every script knows.
    for (const char* l : USAGE_ADDED) std::fprintf(out, "%s\n", l);
    std::fflush(out);
    return true;
}

void MainStartup::setProgDataDir()
{
    // The machine's application-data directory: ours, then the XDG one.
    std::string dir;
    if (const char* d = std::getenv("KORPROG_DATA_DIR"); d && *d) dir = d;
    else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) dir = x;
    else if (const char* h = std::getenv("HOME"); h && *h) dir = std::string(h) + "/.local/share";
    std::snprintf(Main::_progDataDir, sizeof Main::_progDataDir, "%s", dir.c_str());
}

void MainStartup::setRevpacksDir()
{
    nameRevpacksDir();
    std::error_code ec;
    if (!fs::is_directory(Main::_revpacksDir, ec)) fs::create_directories(Main::_revpacksDir, ec);
}

void MainStartup::nameRevpacksDir()
{
    const int n = std::snprintf(Main::_revpacksDir, sizeof Main::_revpacksDir, "%s/%s", UserDir::path().c_str(),
                                RevPackDb::APPLICATION);
    if (n < 0 || size_t(n) >= sizeof Main::_revpacksDir) {
        // A cut path would name some other directory: keep the packs beside us instead.
        B_ERROR("data directory name too long: " << Main::_progDataDir);
        std::snprintf(Main::_revpacksDir, sizeof Main::_revpacksDir, "%s", RevPackDb::APPLICATION);
    }
}

int MainStartup::takeLock(std::string* why)
{
    BNamedMutex& mutex = BScheduler::helmMutex();
    const BNamedMutex::Result r = mutex.create(BMainState::_mutexId);
    if (r == BNamedMutex::ALREADY_EXISTS)
        *why = std::string("another instance of ") + Sw_VERSION + " is running";
    else if (r == BNamedMutex::FAILED)
        *why = "cannot create the lock file " + mutex.path() + ": " + std::strerror(mutex.error()) +
               "; not started, since another instance could not be told apart (XDG_RUNTIME_DIR names its directory)";
    return r == BNamedMutex::CREATED ? 0 : r == BNamedMutex::ALREADY_EXISTS ? 2 : 1;
}

std::string MainStartup::programDir(const char* argv0)
{
    std::string p = argv0 ? argv0 : "";
    if (p.size() >= 2 && p[1] == ':') p = p.substr(2);
    const size_t cut = p.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : p.substr(0, cut == 0 ? 1 : cut);
}

bool MainStartup::handleArgs(int argc, char** argv, std::string* why)
{
    // The program moves to the user's directory later; relative paths still
    // name what they named where the user started it.
    static std::string progFile, binDir, reportFile;
    std::string dummy;
    if (!why) why = &dummy;
    _packArgument.clear();
    RunOptions::PORTS.clear();
    RunOptions::PORT = "";
    std::error_code ec;
    const fs::path start = fs::current_path(ec);
    std::string rpaPath, refusal, first;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        char line[2100];
        std::snprintf(line, sizeof line, "i:%d argv:%s", i, a);
        trace(line);
        const char* file = fromStartDir(rpaPath, start, a);
        if (isReadableFile(file)) {
            trace(std::string("Opening file:") + a);
            if (std::strcmp(fl_filename_ext(a), ".rpa") == 0) {
                Main::_refPackFile = fl_filename_name(a);
                _packArgument = file;
            }
            continue;
        }
        const char* v[2] = {nullptr, nullptr};
        const int values = valuesOf(a);
        if (values > 0 && !takeValue(argc, argv, i, values, v, &refusal)) {
            // The rest is read all the same: it says which run was refused
            // and how it wants its end told.
            if (first.empty()) first = refusal;
            if (!std::strcmp(a, "-program")) FrmKorProgImpl::CMDL_PROGRAM = true;
            continue;
        }
        if (!std::strcmp(a, "-cmdl_crtrpa")) RevPackDb::CMDL_CREATE_REVPACK = true;
        else if (!std::strcmp(a, "-bindir")) RevPackDb::CMDL_BINDIR = fromStartDir(binDir, start, v[0]);
        else if (!std::strcmp(a, "-createrevpack")) FrmKorProgImpl::CREATE_REVPACK = true;
        else if (!std::strcmp(a, "-produpgr")) RevPackDb::CHECK_SPECIAL = false;
        else if (!std::strcmp(a, "-nohwcheck")) RevPackDb::CHECK_HARDWARE = false;
        else if (!std::strcmp(a, "-upgrade")) RevPackDb::CMDL_UPGRADE = true;
        else if (!std::strcmp(a, "-revpack")) {
            // A pack of the pack directory, by name: a path could read any file.
            if (std::strchr(v[0], '/')) {
                if (first.empty())
                    first = std::string("-revpack takes the name of a pack in ") + Main::_revpacksDir +
                            ", without a directory: " + v[0];
                continue;
            }
            RevPackDb::CMDL_REVPACK = v[0];
        }
        else if (!std::strcmp(a, "-binfile")) RevPackDb::CMDL_BINFILE = v[0];
        else if (!std::strcmp(a, "-program")) {
            FrmKorProgImpl::PROG_FILE_ADN = fromStartDir(progFile, start, v[0]);
            FrmKorProgImpl::CMDL_PROGRAM = true;
        }
        else if (!std::strcmp(a, "-nobackup")) RunOptions::BACKUP = false;
        else if (!std::strcmp(a, "-noverify")) RunOptions::VERIFY = false;
        else if (!std::strcmp(a, "-json")) RunOptions::JSON = true;
        else if (!std::strcmp(a, "-q")) RunOptions::QUIET = true;
        else if (!std::strcmp(a, "-report")) RunOptions::REPORT = fromStartDir(reportFile, start, v[0]);
        else if (!std::strcmp(a, "-port")) {
            // COMn and device paths as they are; any other name is a path
            // from where the program was started.
            char device[Serial::PORTNAME_MAX + 1];
            std::string path;
            RunOptions::PORTS.push_back(Serial::devicePath(v[0], device, sizeof device) ? v[0]
                                                                                        : fromStartDir(path, start, v[0]));
        }
        else if (!std::strcmp(a, "-list-ports")) RunOptions::LIST_PORTS = true;
        else if (!std::strcmp(a, "-remdbg")) {
            Main::_dbgAddr = v[0];
            Main::_dbgPort = std::atoi(v[1]);
        }
    }
    // One port is this run's; several make a production line of runs.
    if (RunOptions::PORTS.size() == 1) RunOptions::PORT = RunOptions::PORTS[0].c_str();
    *why = first;
    return first.empty();
}

void MainStartup::moveOldRevpacksToNewLoc(const std::string& startDir)
{
    // Packs an older version kept where it was started; nothing else there is touched.
    if (startDir.empty()) return;
    PackImport::moveOld((fs::path(startDir) / RevPackDb::APPLICATION).string(), Main::_revpacksDir);
}

bool MainStartup::openDisplay()
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    // FLTK ends the program when it cannot open the display: open it here
    // and hand the connection over (closing a probe could make a display
    // with no other client reset under FLTK's own attempt).
    Display* d = XOpenDisplay(name);
    if (!d) return false;
    fl_open_display(d);
    return true;
}

bool MainStartup::chooseView(std::string* why)
{
    if (!RunMode::headless() && openDisplay()) {
        KvctrlRoot::viewFactory = [](KvctrlRoot* root, SettingBin* bin) -> KvctrlView* {
            return new FrmKorProg(root, bin);
        };
        Fl::add_check(closeDialogOnShutdown);
        return true;
    }
    if (RunMode::unattended() || RunMode::headless()) return true;
    if (RevPackDb::CMDL_CREATE_REVPACK) {
        // Without its directory the pack creation is no run of its own.
        *why = "-cmdl_crtrpa needs -bindir DIR";
        return false;
    }
    const char* name = std::getenv("DISPLAY");
    *why = std::string("no display to open the window on (DISPLAY ") +
           (name && *name ? "cannot be opened" : "is not set") +
           "); without one only -program, -upgrade and -cmdl_crtrpa run";
    return false;
}

int MainStartup::run(int argc, char** argv)
{
    static char mutexId[64];
    std::snprintf(mutexId, sizeof mutexId, "Helm_%s_MutexId", Sw_VERSION);
    BMainState::_mutexId = mutexId;
    if (usage(argc, argv, stdout)) return 0;

    setProgDataDir();
    // A check of the machine, beside any run: no lock, nothing written.
    if (Doctor::wanted(argc, argv)) return Doctor::run(argc, argv, stdout);
    nameRevpacksDir();
    std::string why;
    const bool argsOk = handleArgs(argc, argv, &why);
    if (RunOptions::LIST_PORTS) {
        UserDir::visit();
        return PortListing::run(stdout);
    }
    if (RunOptions::PORTS.size() > 1) return ProductionLine::run(argc, argv, argsOk ? "" : why);

    // Before anything is written: a second instance must not touch what the
    // first one works with, and without the lock it could not be told apart.
    // An unattended run on a port of its own has the port's lock instead,
    // so that runs on other ports go side by side.
    if (*RunOptions::PORT && RunMode::unattended()) {
        BMainState::_singleInstance = false;
    } else if (std::string held; const int refused = takeLock(&held)) {
        const bool unattended = beginRun(true);
        const int code = refuse(refused == 2 ? RunFailure::Kind::Busy : RunFailure::Kind::Other, held);
        return unattended ? code : refused;
    }
    setRevpacksDir();
    beginRun(!argsOk);
    if (!argsOk) return refuse(RunFailure::Kind::BadInput, why);
    if (RunLog::begun() && !RunLog::reportUsable(&why)) return refuse(RunFailure::Kind::BadInput, why);
    if (!chooseView(&why)) {
        beginRun(true);
        return refuse(RunFailure::Kind::BadInput, why);
    }
    std::error_code ec;
    const std::string startDir = fs::current_path(ec).string();
    if (!UserDir::enter(UserDir::executable(argv[0]), &why)) return refuse(RunFailure::Kind::Other, why);
    if (!why.empty()) std::fprintf(stderr, "korprog: %s\n", why.c_str());
    if (!_packArgument.empty()) PackImport::copy(_packArgument, Main::_revpacksDir);
    moveOldRevpacksToNewLoc(startDir);
    RPFile::removeStaleStaging();

    MainSignals::catchSignals();
    KvctrlRoot::sleepFunc = MainSignals::sleepUnlessEnding;

    Main* mainState = new Main();
    mainState->startup();
    BTrace::instance()->processCommandsFile("lvl");

    static MainWait wait;
    // A dialog opened from a window's callback runs inside the wait.
    Dialog::setModalHooks([] { wait.suspend(); }, [] { wait.resume(); });
    BMainLoop::Hooks hooks;
    hooks.pollInput = [] { KvcdrvRoot::readCom(); };
    hooks.afterStep = [] { BTrace::parseDebugStream(); };
    hooks.waitEvents = [](double seconds) {
        wait.wait(seconds, {KvcdrvRoot::inputFd(), BTrace::debugSocketStream.socketFd()});
    };
    BMainLoop::run(*mainState, Main::_shutdown, hooks);

    delete mainState;
    // After the states have said how far they got.
    MainSignals::reportUnfinishedRun();
    return endRun(stderr);
}

int MainStartup::refuse(RunFailure::Kind kind, const std::string& reason)
{
    RunFailure::record({kind, reason});
    return endRun(stderr);
}

bool MainStartup::beginRun(bool refused)
{
    if (RunLog::begun()) return true;
    // The switch says which run this is, also when its value was refused;
    // -cmdl_crtrpa without its directory is the window's, unless refused.
    const bool program = FrmKorProgImpl::CMDL_PROGRAM, upgrade = RevPackDb::CMDL_UPGRADE;
    if (!program && !upgrade && !RunMode::createsPack() && !(refused && RevPackDb::CMDL_CREATE_REVPACK)) return false;
    // A reader of the events that goes away must not end the run in the
    // middle of a transfer: a write to it fails instead, and is let be.
    std::signal(SIGPIPE, SIG_IGN);
    BTrace::noticeOut = StatusOut::forNotices(RunLog::statusOut());
    if (program) {
        RunLog::begin("program", {FrmKorProgImpl::PROG_FILE_ADN ? FrmKorProgImpl::PROG_FILE_ADN : ""});
        if (FrmKorProgImpl::PROG_FILE_ADN && *FrmKorProgImpl::PROG_FILE_ADN)
            RunLog::settingsFile(FrmKorProgImpl::PROG_FILE_ADN);
    } else if (upgrade) {
        const std::string pack = RevPackDb::CMDL_REVPACK;
        RunLog::begin("upgrade", {pack, RevPackDb::CMDL_BINFILE});
        if (!pack.empty() && *Main::_revpacksDir) {
            const bool hasExt = pack.size() > 4 && (pack.compare(pack.size() - 4, 4, ".rpa") == 0 ||
                                                    pack.compare(pack.size() - 4, 4, ".RPA") == 0);
            RunLog::pack(std::string(Main::_revpacksDir) + "/" + pack + (hasExt ? "" : ".rpa"));
        }
    } else {
        RunLog::begin("create_pack", {RevPackDb::CMDL_BINDIR});
    }
    return true;
}

int MainStartup::endRun(FILE* err)
{
    const RunFailure& failure = RunFailure::ofRun();
    if (failure.failed() && !failure.reason.empty()) {
        // The state the run stopped in stays readable above its reason.
        StatusOut::endInPlace();
        std::fprintf(err, "korprog: %s\n", failure.reason.c_str());
        std::fflush(err);
    }
    const int code = RunLog::end(Main::exitCode(), failure.failed() ? RunFailure::name(failure.kind) : "",
                                 failure.reason, err);
    BTrace::instance()->dbgPrint("Exit code:" + std::to_string(code), true, true);
    return code;
}
