#ifndef LLIST_ITERATOR_H
#define LLIST_ITERATOR_H

template <class T>
class Iterator {
public:
    virtual ~Iterator() = default;
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool end() const = 0;
    // False at the end of the list; *item is then left untouched.
    virtual bool currentItem(T* item) const = 0;
    virtual bool changeCurrentItem(T item) = 0;
};

#endif
