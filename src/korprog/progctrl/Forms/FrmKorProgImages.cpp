// The six button images, drawn by us as XPM.

#include <FL/Fl_Pixmap.H>

#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/images/image_download.xpm"
#include "korprog/progctrl/Forms/images/image_new.xpm"
#include "korprog/progctrl/Forms/images/image_open.xpm"
#include "korprog/progctrl/Forms/images/image_options.xpm"
#include "korprog/progctrl/Forms/images/image_save.xpm"
#include "korprog/progctrl/Forms/images/image_upload.xpm"

Fl_Pixmap FrmKorProg::image_new(image_new_xpm);
Fl_Pixmap FrmKorProg::image_open(image_open_xpm);
Fl_Pixmap FrmKorProg::image_save(image_save_xpm);
Fl_Pixmap FrmKorProg::image_download(image_download_xpm);
Fl_Pixmap FrmKorProg::image_upload(image_upload_xpm);
Fl_Pixmap FrmKorProg::image_options(image_options_xpm);
