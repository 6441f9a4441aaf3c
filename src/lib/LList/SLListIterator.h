#ifndef LLIST_SLLISTITERATOR_H
#define LLIST_SLLISTITERATOR_H

#include "lib/LList/Iterator.h"
#include "lib/LList/SLListItem.h"

template <class T> class SLList;

template <class T>
class SLListIterator : public Iterator<T> {
public:
    explicit SLListIterator(const SLList<T>* list) : _list(list), _current(list->_head) {}
    void first() override { _current = _list->_head; }
    void next() override { if (_current) _current = _current->_next; }
    bool end() const override { return _current == nullptr; }
    bool currentItem(T* item) const override {
        if (!_current) return false;
        *item = _current->_item;
        return true;
    }
    bool changeCurrentItem(T item) override {
        if (!_current) return false;
        _current->_item = item;
        return true;
    }

private:
    const SLList<T>* _list;
    SLListItem<T>* _current;
};

#endif
