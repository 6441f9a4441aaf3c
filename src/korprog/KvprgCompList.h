#ifndef KORPROG_KVPRGCOMPLIST_H
#define KORPROG_KVPRGCOMPLIST_H

// The components of module KOR_PROG. Events between them are addressed with
// these ids, so every component takes them from here.
enum KvprgCompList {
    CONN_DRV = 10,    // connection driver: owns the serial port
    PROG_CTRL = 11,   // programming controller
    PROT_PARSER = 12  // protocol parser
};

#endif
