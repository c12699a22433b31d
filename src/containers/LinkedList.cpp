#include "containers/LinkedList.h"

LinkedList::~LinkedList() {
    ListItem* item = head_;
    while (item != nullptr) {
        ListItem* following = item->next_;
        delete item;
        item = following;
    }
}

ListItem* LinkedList::append(ListItem* item) {
    if (tail_ == nullptr) {
        head_ = item;
    } else {
        tail_->next_ = item;
    }
    tail_ = item;
    return item;
}
