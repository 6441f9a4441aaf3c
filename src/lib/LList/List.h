#ifndef LLIST_LIST_H
#define LLIST_LIST_H

template <class T> class Iterator;

// Abstract list of pointers; the list never owns the objects it points to.
template <class T>
class List {
public:
    virtual ~List() = default;
    virtual bool append(T item) = 0;
    virtual bool prepend(T item) = 0;
    virtual bool remove(T item) = 0;
    virtual bool removeFirst() = 0;
    virtual bool removeLast() = 0;
    virtual bool popFront(T* item) = 0;
    virtual bool popEnd(T* item) = 0;
    virtual void cleanup() = 0;
    virtual unsigned count() const = 0;
    virtual bool isEmpty() const = 0;
    virtual Iterator<T>* createIterator() const = 0;
};

#endif
