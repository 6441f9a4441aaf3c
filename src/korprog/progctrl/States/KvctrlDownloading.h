#ifndef KORPROG_PROGCTRL_STATES_KVCTRLDOWNLOADING_H
#define KORPROG_PROGCTRL_STATES_KVCTRLDOWNLOADING_H

#include <cstdint>
#include <utility>
#include <vector>

#include "helm/BSimpleState.h"

class KvctrlRoot;

// "Ophalen": the unit sends its settings entry by entry into the setting
// bin; each is acknowledged. The editor opens on them at the end, and the
// status line names the texts that had to be cut. A fetch that does not
// end is told, and the editor opens on what arrived.
class KvctrlDownloading : public BSimpleState {
public:
    explicit KvctrlDownloading(BCompositeState* enclosing);

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    bool settingEntry(const BEvent* e);
    bool waiting(const BEvent* e);
    bool endOfDownload(const BEvent* e);

    KvctrlRoot* _root;
    int _lastEntry;        // the last entry received
    bool _completed;
    std::vector<std::pair<uint8_t, char>> _cut;  // the parts cut to fit: entry and list
};

#endif
