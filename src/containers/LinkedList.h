#pragma once

#include <string>

// One string of a LinkedList; the item owns its copy of the text.
class ListItem {
  public:
    explicit ListItem(std::string text) : text_(std::move(text)) {}
    ListItem(const ListItem&) = delete;
    ListItem& operator=(const ListItem&) = delete;
    virtual ~ListItem() = default;

    ListItem* next() const { return next_; }
    ListItem* previous() const { return previous_; }
    const std::string& text() const { return text_; }

  private:
    friend class LinkedList;
    ListItem* next_ = nullptr;
    ListItem* previous_ = nullptr;
    std::string text_;
};

class CommandItem : public ListItem {
  public:
    using ListItem::ListItem;
};

class DependencyItem : public ListItem {
  public:
    using ListItem::ListItem;
};

// Doubly linked list that only grows at its tail. It takes ownership of the
// items appended to it and deletes them when it is destroyed.
class LinkedList {
  public:
    LinkedList() = default;
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    ~LinkedList();

    ListItem* append(ListItem* item);
    ListItem* head() const { return head_; }
    ListItem* tail() const { return tail_; }
    int count() const { return count_; }

  private:
    int count_ = 0;
    ListItem* head_ = nullptr;
    ListItem* tail_ = nullptr;
};
