#include "korprog/progctrl/Data/RPrefPackList.h"

#include <cstring>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPbinList.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

RPrefPackList::RPrefPackList(RevPackDb* rpDb, RPbinList* binList, KvctrlRoot* root)
    : RPcomboList(N_("Select RevPack File: ")), _rpDb(rpDb), _binList(binList), _root(root)
{
    if (!_rpDb) return;
    for (int i = 0; i < _rpDb->nrRpaFiles(); ++i) list.add(_rpDb->rpaFile(i));
    int line = list.size() > 0 ? 1 : 0;
    if (_root) {
        if (const int last = lineOf(_root->lastRevpackFile())) line = last;
        if (const int ref = lineOf(_root->refPackFile())) line = ref;
    }
    select(line);
    if (line) _rpDb->selectRpFile(list.text(line));
    if (_binList) _binList->refreshList();
}

void RPrefPackList::choice()
{
    if (!_rpDb || !*value()) return;
    _rpDb->selectRpFile(value());
    if (_binList) _binList->refreshList();
}
