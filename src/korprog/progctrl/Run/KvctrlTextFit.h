#ifndef KORPROG_PROGCTRL_RUN_KVCTRLTEXTFIT_H
#define KORPROG_PROGCTRL_RUN_KVCTRLTEXTFIT_H

#include <string>
#include <vector>

class KvctrlRoot;
class SettingBin;

// Whether every text of the settings fits the connected unit's fields,
// settled before the first entry goes: a text found too long half-way would
// leave the unit with a mix of new and old settings.
class KvctrlTextFit {
public:
    struct TooLong {
        int entry;
        int length;
        int max;
    };

    // The entries the unit takes whose text is longer than its field.
    static std::vector<TooLong> find(SettingBin* bin);
    // May the upload start? An unattended run refuses (bad input) naming
    // every such entry; the window asks once, naming the fields as the
    // editor does: going on cuts them in the settings (and the editor shows
    // them cut), stopping (the default) sends nothing.
    static bool allow(KvctrlRoot* root);
    // The refusal of an unattended run, ending with what it left undone.
    static std::string reason(SettingBin* bin, const std::vector<TooLong>& tooLong,
                              const char* undone = "nothing was programmed");

    // Texts named in the window's question; the rest are counted.
    static const int NAMED = 10;
};

#endif
