#ifndef MAIN_LINE_PRODUCTIONLINE_H
#define MAIN_LINE_PRODUCTIONLINE_H

#include <cstddef>
#include <string>
#include <vector>

// Several -port options: the same unattended run on every port at once,
// one process of the program per port (each with one -port), their output
// passed on line by line under the port's short name ("[ttyUSB3] ..."),
// then a summary. Each run keeps its own port's lock, events and record
// (-report: all append to the one file); the line ends with 0 when every
// run succeeded, else with the code of the first that failed, in the order
// the ports were given. SIGINT and SIGTERM are passed on to every run.
class ProductionLine {
public:
    // More ports than this in one line are refused: each is a process.
    static constexpr size_t MAX_PORTS = 64;

    // refusal: why the command line cannot be run ("" when it can).
    static int run(int argc, char** argv, const std::string& refusal);

    // The command line of the run on `port`: ours without its -port
    // options, then -port port.
    static std::vector<std::string> childArgs(int argc, char** argv, const std::string& port);
};

#endif
