#include "main/MainStartup.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>
#include <unistd.h>

#include <chrono>
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
#include "korprog/WholeFile.h"
#include "korprog/RunFailure.h"
#include "korprog/RunMode.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/conndrv/States/KvcdrvRoot.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/States/KvctrlUploading.h"
#include "main/doctor/Doctor.h"
#include "main/Main.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"
#include "korprog/runlog/StatusOut.h"
#include "main/MainSignals.h"
#include "main/MainWait.h"
#include "main/OptionTable.h"
#include "main/PackImport.h"
#include "main/PortListing.h"
#include "main/line/ProductionLine.h"
#include "main/UserDir.h"

// Last: Xlib (through FLTK's x.H) defines macros (None, Status) that other
// headers use as names.
#include <FL/x.H>

namespace fs = std::filesystem;

namespace {

// How long an ending program waits for the answer to what it sent last.
const int SETTLE_MS = 500;

// An option's line of the usage text, its text from the table: "-bindir,"
// and the text at column 16.
std::string usageLine(const char* option)
{
    char line[160];
    std::snprintf(line, sizeof line, "%-16s%s", (std::string(option) + ",").c_str(), OptionTable::find(option)->help);
    return line;
}

// After the options of the table: the exit codes of unattended runs.
const char* const USAGE_EXIT_CODES[] = {
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
    "   9  verification failed, or the settings compared differ",
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

// Paths given on the command line mean what they meant where the user
// started the program, also once it runs in its own directory.
std::string fromStartDir(const fs::path& start, const char* path)
{
    if (!path || !*path || path[0] == '/' || start.empty()) return path ? path : "";
    return (start / path).lexically_normal().string();
}

// The largest settings file a run takes: its lines, each with a line end,
// and room to spare for stray carriage returns.
const uintmax_t MAX_SETTINGS_FILE = 64 * 1024;

std::string packPath(const char* name)
{
    const std::string pack = name ? name : "";
    if (pack.empty() || !*Main::_revpacksDir) return "";
    return std::string(Main::_revpacksDir) + "/" + pack + (RevPackDb::isPackFile(pack) ? "" : RPFile::EXTENSION);
}

// An input that is there but can be no input (a FIFO, a device, a
// directory, too large) is refused before anything reads it; a missing
// one is told by the run that looks for it.
std::string unusableInput(const std::string& path, uintmax_t maxBytes, const char* what)
{
    int error = 0;
    if (path.empty() || WholeFile::usable(path, maxBytes, &error) || error == ENOENT) return "";
    // What the file is makes it no input; anything else the system says.
    if (error == EINVAL || error == EFBIG || error == EISDIR)
        return path + ": not a " + what + " (" + WholeFile::reason(error, maxBytes) + ")";
    return path + ": cannot be opened: " + WholeFile::reason(error, maxBytes);
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
    if (argc != 2 || (!std::strstr(argv[1], "help") && std::strcmp(argv[1], "-h") != 0)) return false;
    const std::string hashes(79, '#');
    std::fprintf(out, "%s\n", hashes.c_str());
    std::fprintf(out, "# Usage: %s", argv[0]);
    // The text of the first version, byte for byte: scripts read it.
    std::fprintf(out, "\n#  %s\n", usageLine("-cmdl_crtrpa").c_str());
    const std::string lines1[] = {
        usageLine("-bindir"),
        "                e.g. \"korprog -cmdl_crtrpa -bindir <directory>\"",
        usageLine("-createrevpack"),
        usageLine("-nohwcheck"),
    };
    for (const std::string& l : lines1) std::fprintf(out, "#  %s\n", l.c_str());
    std::fprintf(out, "\n#  %s\n", usageLine("-upgrade").c_str());
    const std::string lines2[] = {
        "                e.g. -upgrade -revpack <rpa> -binfile <xx.bin>",
        usageLine("-revpack"),
        "                e.g. -revpack KV-xxx[yyy] (No ./RevPacks/, *.rpa included)",
        std::string(42, ' ') + std::string(32, '^'),
        usageLine("-binfile"),
        usageLine("-program"),
        "                e.g. \"korprog -program <\"C:\\xx yy\\file.adn\">\"",
    };
    for (const std::string& l : lines2) std::fprintf(out, "#  %s\n", l.c_str());
    std::fprintf(out, "%s\n", hashes.c_str());
    // What this version adds, after the usage text every script knows.
    OptionTable::writeHelp(out);
    for (const char* l : USAGE_EXIT_CODES) std::fprintf(out, "%s\n", l);
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
    std::string dummy;
    if (!why) why = &dummy;
    _packArgument.clear();
    RunOptions::PORTS.clear();
    RunOptions::PORT = "";
    OptionTable::VERSION = OptionTable::DOCTOR = OptionTable::COMPLETION = false;
    // The program moves to the user's directory later; relative paths still
    // name what they named where the user started it.
    std::error_code ec;
    const fs::path start = fs::current_path(ec);
    std::string first;
    OptionTable::Context context{start.string(), &first};
    OptionTable::walk(argc, argv, [&](const OptionTable::Arg& arg) {
        char line[2100];
        std::snprintf(line, sizeof line, "i:%d argv:%s", arg.index, arg.text);
        trace(line);
        if (arg.file) {
            const std::string file = fromStartDir(start, arg.text);
            if (!isReadableFile(file.c_str())) return;
            trace(std::string("Opening file:") + arg.text);
            if (std::strcmp(fl_filename_ext(arg.text), ".rpa") == 0) {
                Main::_refPackFile = fl_filename_name(arg.text);
                _packArgument = file;
            }
            return;
        }
        // The rest is read all the same after a refusal: it says which run
        // was refused and how it wants its end told.
        OptionTable::apply(arg, context);
    });
    // One port is this run's; several make a production line of runs.
    if (RunOptions::PORTS.size() == 1) RunOptions::PORT = RunOptions::PORTS[0].c_str();
    if (first.empty()) first = KvctrlSettingsRun::commandLineFault();
    if (first.empty() && FrmKorProgImpl::CMDL_PROGRAM)
        first = unusableInput(FrmKorProgImpl::PROG_FILE_ADN, MAX_SETTINGS_FILE, "settings file");
    for (const char* compared : {KvctrlSettingsRun::COMPARE_FILE, KvctrlSettingsRun::WITH_FILE})
        if (first.empty()) first = unusableInput(compared, MAX_SETTINGS_FILE, "settings file");
    if (first.empty() && RevPackDb::CMDL_UPGRADE)
        first = unusableInput(packPath(RevPackDb::CMDL_REVPACK), RPFileCheck::MAX_FILE, "revision pack");
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
    // Who answers is decided here, once: a display that cannot be opened
    // (DISPLAY of a closed session) leaves a run that answers for itself
    // without one, and nothing later tries it again.
    RunMode::displayOpened(false);
    if (!RunMode::headless() && openDisplay()) {
        RunMode::displayOpened(true);
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
    nameRevpacksDir();
    std::string why;
    const bool argsOk = handleArgs(argc, argv, &why);
    // The uses that are no run: a bad command line is refused as input.
    const bool telling = OptionTable::COMPLETION || OptionTable::VERSION || OptionTable::DOCTOR ||
                         RunOptions::LIST_PORTS;
    if (telling && !argsOk) {
        std::fprintf(stderr, "korprog: %s\n", why.c_str());
        return RunFailure::exitCode(RunFailure::Kind::BadInput);
    }
    if (OptionTable::COMPLETION) {
        OptionTable::writeCompletion(stdout);
        return 0;
    }
    if (OptionTable::VERSION) {
        std::printf("korprog %s\n", KORPROG_VERSION);
        return 0;
    }
    // A check of the machine, beside any run: no lock, nothing written.
    if (OptionTable::DOCTOR) return Doctor::run(argc, argv, stdout);
    if (RunOptions::LIST_PORTS) {
        UserDir::visit();
        return PortListing::run(stdout);
    }
    if (RunOptions::PORTS.size() > 1) return ProductionLine::run(argc, argv, argsOk ? "" : why);
    // A command line that cannot mean what it says ends before anything
    // else: no lock is taken, no display opened.
    if (!argsOk) {
        beginRun(true);
        return refuse(RunFailure::Kind::BadInput, why);
    }
    if (KvctrlSettingsRun::comparesFiles()) return compareFiles(argv[0]);

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
    beginRun(false);
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
    KvctrlUnattended::signalCause = MainSignals::reportUnfinishedRun;

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
    // An entry on its way when the program is told to end: the unit's
    // answer says whether it has it, so the run names what the unit took.
    hooks.settle = [] {
        static const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(SETTLE_MS);
        return KvctrlUploading::answerAwaited() && std::chrono::steady_clock::now() < until;
    };
    BMainLoop::run(*mainState, Main::_shutdown, hooks);

    delete mainState;
    // After the states have said how far they got.
    MainSignals::reportUnfinishedRun();
    return endRun(stderr);
}

int MainStartup::compareFiles(const char* argv0)
{
    // Two files and no unit: no port, so no lock either; beside a window or
    // a run it reads only. The user's directory gives the field labels.
    beginRun(false);
    std::string why;
    if (!RunLog::reportUsable(&why)) return refuse(RunFailure::Kind::BadInput, why);
    if (!UserDir::enter(UserDir::executable(argv0), &why)) return refuse(RunFailure::Kind::Other, why);
    Language::instance();
    KvctrlSettingsRun::compareFiles();
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
    const bool fetch = KvctrlSettingsRun::FETCH, compare = KvctrlSettingsRun::COMPARE;
    if (!program && !upgrade && !fetch && !compare && !RunMode::createsPack() &&
        !(refused && RevPackDb::CMDL_CREATE_REVPACK))
        return false;
    // A reader of the events that goes away must not end the run in the
    // middle of a transfer: a write to it fails instead, and is let be.
    std::signal(SIGPIPE, SIG_IGN);
    BTrace::noticeOut = StatusOut::forNotices(RunLog::statusOut());
    if (program) {
        std::vector<std::string> inputs{FrmKorProgImpl::PROG_FILE_ADN ? FrmKorProgImpl::PROG_FILE_ADN : ""};
        if (*KvctrlUnitValues::CMDL_VALUES) inputs.push_back(KvctrlUnitValues::CMDL_VALUES);
        RunLog::begin("program", inputs);
        if (*KvctrlUnitValues::CMDL_VALUES) RunLog::values(KvctrlUnitValues::CMDL_VALUES, 0);
        // Only what can be read to its end without waiting is digested.
        const char* file = FrmKorProgImpl::PROG_FILE_ADN;
        if (file && *file) RunLog::settingsFile(file, WholeFile::usable(file, MAX_SETTINGS_FILE, nullptr));
    } else if (fetch) {
        RunLog::begin("fetch", {KvctrlSettingsRun::FETCH_FILE});
    } else if (compare) {
        const char* file = KvctrlSettingsRun::COMPARE_FILE;
        std::vector<std::string> inputs{file};
        if (*KvctrlSettingsRun::WITH_FILE) inputs.push_back(KvctrlSettingsRun::WITH_FILE);
        RunLog::begin("compare", inputs);
        if (*file) RunLog::settingsFile(file, WholeFile::usable(file, MAX_SETTINGS_FILE, nullptr));
    } else if (upgrade) {
        const std::string pack = RevPackDb::CMDL_REVPACK;
        RunLog::begin("upgrade", {pack, RevPackDb::CMDL_BINFILE});
        const std::string path = packPath(pack.c_str());
        if (!path.empty()) RunLog::pack(path, WholeFile::usable(path, RPFileCheck::MAX_FILE, nullptr));
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
