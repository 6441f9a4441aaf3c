#ifndef KORPROG_RUNLOG_WHOLEWRITE_H
#define KORPROG_RUNLOG_WHOLEWRITE_H

#include <string>

// Writes all of data to fd: one write(2) when the descriptor takes it (a
// line on a pipe or an appended file then never mixes with another
// writer's), the rest after a partial write, again after EINTR, and on a
// non-blocking descriptor once it takes more. False with errno set when the
// descriptor takes no more.
bool wholeWrite(int fd, const std::string& data);

#endif
