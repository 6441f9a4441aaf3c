#include "korprog/progctrl/Forms/FrmKorProgImpl.h"

bool FrmKorProgImpl::CREATE_REVPACK = false;
const char* FrmKorProgImpl::PROG_FILE_ADN = "";
bool FrmKorProgImpl::CMDL_PROGRAM = false;
