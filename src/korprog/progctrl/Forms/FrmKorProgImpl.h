#ifndef KORPROG_PROGCTRL_FORMS_FRMKORPROGIMPL_H
#define KORPROG_PROGCTRL_FORMS_FRMKORPROGIMPL_H

// The main window's behaviour. For now it holds the switches the command
// line sets; the window's behaviour joins them here.
class FrmKorProgImpl {
public:
    static bool CREATE_REVPACK;
    // The settings file to program, and whether the program was started to
    // program it without anybody watching.
    static const char* PROG_FILE_ADN;
    static bool CMDL_PROGRAM;
};

#endif
