#pragma once

#include <string>

// One string of a LinkedList; the item owns its copy of the text.
class ListItem {
  public:
    explicit ListItem(std::string text) : text_(std::move(text)) {}
    ListItem(const ListItem&) = delete;
    ListItem& operator=(const ListItem&) = delete;

    ListItem* next() const { return next_; }
    const std::string& text() const { return text_; }

  private:
    friend class LinkedList;
    ListItem* next_ = nullptr;
    std::string text_;
};

// Singly linked list that only grows at its tail. It takes ownership of the
// items appended to it and deletes them when it is destroyed.
class LinkedList {
  public:
    LinkedList() = default;
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    ~LinkedList();

    ListItem* append(ListItem* item);
    ListItem* head() const { return head_; }

  private:
    ListItem* head_ = nullptr;
    ListItem* tail_ = nullptr;
};
