#include "main/MainWait.h"

#include <FL/Fl.H>
#include <sys/ioctl.h>

#include <algorithm>

bool MainWait::wait(double seconds, std::initializer_list<int> fds)
{
    std::vector<int> resting;
    resting.swap(_resting);
    _woken = false;
    for (int fd : fds) {
        if (fd < 0 || std::find(resting.begin(), resting.end(), fd) != resting.end()) continue;
        if (std::find(_watched.begin(), _watched.end(), fd) != _watched.end()) continue;
        Fl::add_fd(fd, FL_READ, onInput, this);
        _watched.push_back(fd);
    }
    Fl::wait(seconds);
    // Not inside the callbacks: FLTK walks its list of descriptors while
    // calling them.
    if (!_suspended)
        for (int fd : _watched) Fl::remove_fd(fd, FL_READ);
    _watched.clear();
    _suspended = false;
    return _woken;
}

void MainWait::suspend()
{
    if (_suspended) return;
    _suspended = true;
    for (int fd : _watched) Fl::remove_fd(fd, FL_READ);
}

void MainWait::resume()
{
    if (!_suspended) return;
    _suspended = false;
    for (int fd : _watched) Fl::add_fd(fd, FL_READ, onInput, this);
}

void MainWait::onInput(int fd, void* self)
{
    MainWait* w = static_cast<MainWait*>(self);
    w->_woken = true;
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0 || waiting <= 0) w->_resting.push_back(fd);
}
