#pragma once

#include <cstdint>
#include <memory>

namespace korvix {

// A circular doubly linked list of records with a moving cursor instead of a fixed head:
// every search walks forward from the cursor and leaves it where the walk stopped, so a
// process that keeps calling with the handle it used last finds it at the first node.
// `Record` has a 32-bit `handle` field that identifies it.
//
// Not thread-safe: the owner serialises every call (see CSdkChain).
template <typename Record>
class CTRing {
public:
    struct Node {
        Record data;
        Node *prev;
        Node *next;
    };

    CTRing() = default;
    ~CTRing() { Clear(); }
    CTRing(const CTRing &) = delete;
    CTRing &operator=(const CTRing &) = delete;

    // Inserts a copy of `record` at the end of the ring as seen from the cursor (between
    // the cursor's previous node and the cursor) and makes it current.
    virtual void Add(Record record) {
        // The ring owns its nodes through its links; RemoveCurrent frees them.
        Node *node = std::make_unique<Node>(Node{std::move(record), nullptr, nullptr}).release();
        if (cursor_ == nullptr) {
            node->prev = node->next = node;
            count_ = 1;
        } else {
            ++count_;
            Node *before = cursor_->prev;
            node->prev = before;
            node->next = cursor_;
            before->next = node;
            cursor_->prev = node;
        }
        cursor_ = node;
    }

    // Walks forward from the cursor until `handle` is found (the cursor stays on it) or the
    // node that preceded the starting cursor has been looked at (the cursor rests there).
    // The stop test compares handle values, as the walk always has.
    bool Find(int32_t handle) {
        if (cursor_ == nullptr) return false;
        const int32_t stop = cursor_->prev->data.handle;
        for (;;) {
            if (cursor_->data.handle == handle) return true;
            if (cursor_->data.handle == stop) return false;
            cursor_ = cursor_->next;
        }
    }

    // Like Find, but leaves the cursor where it is.
    bool Contains(int32_t handle) const {
        if (cursor_ == nullptr) return false;
        const Node *node = cursor_;
        do {
            if (node->data.handle == handle) return true;
            node = node->next;
        } while (node != cursor_);
        return false;
    }

    // Unlinks and frees the node under the cursor; the next node becomes current.
    int RemoveCurrent() {
        if (cursor_ == nullptr) return 0;
        std::unique_ptr<Node> old(cursor_);
        if (cursor_->next == cursor_) {
            count_ = 0;
            cursor_ = nullptr;
        } else {
            --count_;
            cursor_->prev->next = cursor_->next;
            cursor_->next->prev = cursor_->prev;
            cursor_ = cursor_->next;
        }
        return 1;
    }

    int Remove(int32_t handle) { return Find(handle) ? RemoveCurrent() : 0; }

    void Clear() {
        while (RemoveCurrent()) {
        }
    }

    Node *Cursor() const { return cursor_; }
    int32_t Count() const { return count_; }

private:
    Node *cursor_ = nullptr;
    int32_t count_ = 0;
};

}  // namespace korvix
