#ifndef KORPROG_PROGCTRL_RUN_KVCTRLVALUESLEDGER_H
#define KORPROG_PROGCTRL_RUN_KVCTRLVALUESLEDGER_H

#include <set>
#include <string>

// Which rows of a batch's values (UNITS.csv) are taken, shared by every run
// on every port: UNITS.csv.used beside it holds one line per row used
// ("row,IMEI,port,time"), appended whole once a unit holds its row's
// values. A row a run is programming is held by a lock of that run's:
// a record lock (fcntl, per open file) on the row's byte of the .used file,
// which goes with the process however it ends, so that a run that fails or
// is killed leaves its row to the next. The file as a whole is locked as
// the report is (flock, appendWhole) while a line is appended or it is read.
class KvctrlValuesLedger {
public:
    explicit KvctrlValuesLedger(const std::string& valuesFile);
    ~KvctrlValuesLedger();
    KvctrlValuesLedger(const KvctrlValuesLedger&) = delete;
    KvctrlValuesLedger& operator=(const KvctrlValuesLedger&) = delete;

    const std::string& file() const { return _used; }
    // Opens (makes) the .used file; false with why.
    bool open(std::string* why);
    // The rows recorded as used.
    std::set<int> used() const;
    // Takes the lock of row, without waiting: false when another run has
    // it. A row taken is held until release or the end of the process.
    bool take(int row);
    void release(int row);
    // Appends the row's line whole; false with the system's reason.
    bool record(int row, const std::string& imei, const std::string& port, std::string* why);

private:
    bool lock(int row, short type) const;

    std::string _used;
    int _fd = -1;
};

#endif
