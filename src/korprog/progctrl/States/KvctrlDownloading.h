#ifndef KORPROG_PROGCTRL_STATES_KVCTRLDOWNLOADING_H
#define KORPROG_PROGCTRL_STATES_KVCTRLDOWNLOADING_H

#include <cstdint>
#include <string>
#include <vector>

#include "helm/BSimpleState.h"
#include "korprog/progctrl/Data/AdnFile.h"

class BTimer;
class KvctrlRoot;
class SettingBin;

// Fetches the unit's settings entry by entry; each is acknowledged. They
// go into a store of their own and are taken whole only when the unit has
// sent its end: a fetch that does not complete changes nothing. For
// "Ophalen" (EDIT) the setting bin then takes them, the editor opens on
// them, and the status line names the texts that had to be cut; one that
// does not end is told, and the editor opens on the settings it showed
// before. A read-back after programming (READ_BACK) and a backup before an
// upgrade (BACKUP) never touch the settings the engineer edits; the fetch
// that is a run of its own (-fetch, -compare: FETCH) leaves them to its end
// (KvctrlSettingsRun). Such a fetch asks for the settings itself, and a
// unit that sends nothing within the life-check time ends it without
// ending the connection. A request that brings no entry within
// DNLD_TIMEOUT_INTV, or that the unit refuses, is sent again, at most
// MAX_REQUESTS times in all: it can be lost on the line like any frame.
class KvctrlDownloading : public BSimpleState {
public:
    enum Purpose { EDIT, READ_BACK, BACKUP, FETCH };
    static const uint8_t DNLD_TIMEOUT_INTV = 2;  // seconds
    static const int MAX_REQUESTS = 5;

    explicit KvctrlDownloading(BCompositeState* enclosing, Purpose purpose = EDIT);
    ~KvctrlDownloading() override;

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

    // The whole fetch into the setting bin as "Ophalen" takes it (the
    // entries that came, cut to fit their fields); the parts cut to fit, as
    // "; "-separated editor titles.
    static std::string takeIntoBin(SettingBin& bin, const std::vector<AdnFile::Line>& fetched,
                                   const std::vector<bool>& got);

private:
    bool settingEntry(const BEvent* e);
    bool waiting(const BEvent* e);
    // The request went unanswered or was refused before the first entry.
    bool askAgain();
    bool endOfDownload(const BEvent* e);
    // The end of a READ_BACK, BACKUP or FETCH fetch, whole or not.
    void concludeFetch();

    KvctrlRoot* _root;
    Purpose _purpose;
    int _lastEntry;        // the last entry received
    bool _completed;
    bool _concluded;       // concludeFetch ran
    // What the fetch received, entry k at k - 1.
    std::vector<AdnFile::Line> _fetched;
    std::vector<bool> _got;
    BTimer* _timer;  // LOC_DNLD_TO, until the first entry
    int _requests;   // download requests sent before the first entry
};

#endif
