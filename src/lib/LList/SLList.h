#ifndef LLIST_SLLIST_H
#define LLIST_SLLIST_H

#include "lib/LList/List.h"
#include "lib/LList/SLListItem.h"
#include "lib/LList/SLListIterator.h"
#include "bdebug/BAssert.h"

// Singly linked list of pointers with a tail pointer, so append and prepend
// are both O(1). Used for regions, bindings and queued events.
template <class T>
class SLList : public List<T> {
    friend class SLListIterator<T>;

public:
    SLList() = default;
    SLList(const SLList&) = delete;
    SLList& operator=(const SLList&) = delete;
    ~SLList() override { cleanup(); }

    bool append(T item) override {
        auto* n = new SLListItem<T>(item);
        if (_tail) _tail->_next = n; else _head = n;
        _tail = n;
        ++_count;
        return true;
    }
    bool prepend(T item) override {
        auto* n = new SLListItem<T>(item);
        n->_next = _head;
        _head = n;
        if (!_tail) _tail = n;
        ++_count;
        return true;
    }
    // Moves every item of `other`, in order, in front of this list's items.
    bool prepend(SLList& other) {
        if (&other == this || other.isEmpty()) return true;
        other._tail->_next = _head;
        _head = other._head;
        if (!_tail) _tail = other._tail;
        _count += other._count;
        other._head = other._tail = nullptr;
        other._count = 0;
        return true;
    }
    bool append(SLList&) { B_NOT_IMPLEMENTED(); return false; }
    bool remove(T item) override {
        SLListItem<T>* prev = nullptr;
        for (auto* n = _head; n; prev = n, n = n->_next) {
            if (n->_item == item) {
                unlink(prev, n);
                return true;
            }
        }
        return false;
    }
    bool removeFirst() override { B_NOT_IMPLEMENTED(); return false; }
    bool removeLast() override {
        if (!_head) return false;
        SLListItem<T>* prev = nullptr;
        for (auto* n = _head; n != _tail; n = n->_next) prev = n;
        unlink(prev, _tail);
        return true;
    }
    bool popFront(T* item) override {
        if (!_head) return false;
        *item = _head->_item;
        unlink(nullptr, _head);
        return true;
    }
    bool popEnd(T*) override { B_NOT_IMPLEMENTED(); return false; }
    void cleanup() override {
        while (_head) {
            auto* n = _head->_next;
            delete _head;
            _head = n;
        }
        _tail = nullptr;
        _count = 0;
    }
    unsigned count() const override { return _count; }
    bool isEmpty() const override { return _head == nullptr; }
    Iterator<T>* createIterator() const override { return new SLListIterator<T>(this); }

    // Iteration without a heap iterator, for the runtime's hot paths.
    template <class F> void forEach(F f) const {
        for (auto* n = _head; n; n = n->_next) f(n->_item);
    }
    // Removes every item for which pred is true, keeping the others in order.
    template <class F> unsigned removeIf(F pred) {
        unsigned removed = 0;
        SLListItem<T>* prev = nullptr;
        auto* n = _head;
        while (n) {
            auto* next = n->_next;
            if (pred(n->_item)) { unlink(prev, n); ++removed; }
            else prev = n;
            n = next;
        }
        return removed;
    }

private:
    void unlink(SLListItem<T>* prev, SLListItem<T>* n) {
        if (prev) prev->_next = n->_next; else _head = n->_next;
        if (_tail == n) _tail = prev;
        --_count;
        delete n;
    }

    SLListItem<T>* _head = nullptr;
    SLListItem<T>* _tail = nullptr;
    unsigned _count = 0;
};

#endif
