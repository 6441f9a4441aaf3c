#ifndef KORPROG_PROGCTRL_DATA_REVPACKDB_H
#define KORPROG_PROGCTRL_DATA_REVPACKDB_H

// The revision-pack database. For now it holds the switches the command
// line sets; the database itself joins them here.
class RevPackDb {
public:
    // Name of the directory that holds the packs.
    static const char* const APPLICATION;

    static bool CMDL_CREATE_REVPACK;
    static const char* CMDL_BINDIR;
    static bool CHECK_SPECIAL;
    static bool CHECK_HARDWARE;
    static bool CMDL_UPGRADE;
    static const char* CMDL_REVPACK;
    static const char* CMDL_BINFILE;
};

#endif
