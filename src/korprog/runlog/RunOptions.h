#ifndef KORPROG_RUNLOG_RUNOPTIONS_H
#define KORPROG_RUNLOG_RUNOPTIONS_H

// The command line's choices on how a run proves and records itself. Set
// by MainStartup::handleArgs, put back by RunState::reset.
struct RunOptions {
    // Settings are fetched and saved before an upgrade (-nobackup: not).
    static bool BACKUP;
    // Programmed settings are read back and compared (-noverify: not). The
    // window has its own choice in config.ini.
    static bool VERIFY;
    // JSON Lines events on standard output instead of status text (-json).
    static bool JSON;
    // The file each run appends its record to (-report FILE); "" for none.
    static const char* REPORT;

    static void reset();
};

#endif
