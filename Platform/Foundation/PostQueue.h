#pragma once

#include <atomic>
#include <utility>

namespace ns::detail {

// Many threads post, one thread takes everything at once, in posting order, without a lock: posts
// to a busy consumer never make either side wait. Used by the run loops and the network thread.
template <class T>
class PostQueue {
 public:
  PostQueue() = default;
  PostQueue(const PostQueue&) = delete;
  PostQueue& operator=(const PostQueue&) = delete;
  ~PostQueue() { deleteList(head_.exchange(nullptr)); }

  // True when the queue was empty before (the consumer may need waking).
  bool post(T value) {
    Node* node = new Node{std::move(value), nullptr};
    Node* head = head_.load(std::memory_order_relaxed);
    do {
      node->next = head;
    } while (!head_.compare_exchange_weak(head, node, std::memory_order_seq_cst, std::memory_order_relaxed));
    // Not node->next: once published, the node belongs to the consumer.
    return head == nullptr;
  }

  bool empty() const { return head_.load(std::memory_order_seq_cst) == nullptr; }

  // Appends everything posted so far to out, oldest first. False when there was nothing.
  template <class Container>
  bool takeAll(Container& out) {
    Node* list = head_.exchange(nullptr, std::memory_order_acquire);
    if (!list) return false;
    Node* reversed = nullptr;
    while (list) {
      Node* next = list->next;
      list->next = reversed;
      reversed = list;
      list = next;
    }
    while (reversed) {
      Node* next = reversed->next;
      out.push_back(std::move(reversed->value));
      delete reversed;
      reversed = next;
    }
    return true;
  }

 private:
  struct Node {
    T value;
    Node* next;
  };
  static void deleteList(Node* node) {
    while (node) {
      Node* next = node->next;
      delete node;
      node = next;
    }
  }
  std::atomic<Node*> head_{nullptr};
};

}  // namespace ns::detail
