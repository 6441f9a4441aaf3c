#ifndef KORPROG_PROGCTRL_FORMS_FRMKORPROGIMPL_H
#define KORPROG_PROGCTRL_FORMS_FRMKORPROGIMPL_H

// The main window's behaviour. For now it holds the switches the command
// line sets; the window's behaviour joins them here.
class FrmKorProgImpl {
public:
    static bool CREATE_REVPACK;
    static const char* PROG_FILE_ADN;
};

#endif
