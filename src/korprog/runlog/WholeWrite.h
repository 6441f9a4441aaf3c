#ifndef KORPROG_RUNLOG_WHOLEWRITE_H
#define KORPROG_RUNLOG_WHOLEWRITE_H

#include <string>

// Writes all of data to fd: one write(2) when the descriptor takes it (a
// line on a pipe or an appended file then never mixes with another
// writer's), the rest after a partial write, again after EINTR, and on a
// non-blocking descriptor once it takes more. False with errno set when the
// descriptor takes no more.
bool wholeWrite(int fd, const std::string& data);

// Appends line to a file that several runs append to (fd opened with
// O_APPEND): under an flock they all take, after a line end of its own when
// the file ends in the middle of a line (cut by hand or by a full disk),
// in one write, synced. Whole or not at all: a write that fails cuts the
// file back to its length before. Without the lock (a file system that has
// none) the line goes in as it is; the one write keeps it whole all the
// same. False with errno set.
bool appendWhole(int fd, const std::string& line);

#endif
