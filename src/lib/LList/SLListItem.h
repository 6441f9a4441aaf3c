#ifndef LLIST_SLLISTITEM_H
#define LLIST_SLLISTITEM_H

template <class T>
class SLListItem {
public:
    explicit SLListItem(T item) : _item(item), _next(nullptr) {}
    T _item;
    SLListItem<T>* _next;
};

#endif
