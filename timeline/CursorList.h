#pragma once
// The one list container of the timeline: a doubly linked ring with a sentinel that holds
// copies of its records, with a cursor, an optional order and an optional release function.
#include <cstddef>
#include <functional>
#include <iterator>
#include <new>

namespace tavrel {

template <typename T>
class CCursorList {
    struct Hook {
        Hook* prev;
        Hook* next;
    };
    struct Node : Hook {
        explicit Node(const T& v) : Hook{nullptr, nullptr}, value(v) {}
        T value;
    };

public:
    // Negative when a belongs before b, positive when after, 0 when equal.
    using Compare = int (*)(const T& a, const T& b);
    // Sees each record just before it is freed.
    using Release = std::function<void(T&)>;

    static constexpr int kErrorNone = 0;
    static constexpr int kErrorNoMemory = 1;

    explicit CCursorList(Compare compare = nullptr, Release release = nullptr)
        : compare_(compare), release_(std::move(release)) {}
    ~CCursorList() { Clear(); }

    CCursorList(const CCursorList& other) : compare_(other.compare_), release_(other.release_) {
        CopyRecordsOf(other);
    }
    // Empties this list and inserts a copy of every record of the other, in order.
    CCursorList& operator=(const CCursorList& other) {
        if (this != &other) {
            Clear();
            compare_ = other.compare_;
            release_ = other.release_;
            CopyRecordsOf(other);
        }
        return *this;
    }

    CCursorList(CCursorList&& other) noexcept
        : compare_(other.compare_), release_(std::move(other.release_)) {
        TakeRecordsOf(other);
    }
    CCursorList& operator=(CCursorList&& other) noexcept {
        if (this != &other) {
            Clear();
            compare_ = other.compare_;
            release_ = std::move(other.release_);
            TakeRecordsOf(other);
        }
        return *this;
    }

    T* First() { return MoveTo(sentinel_.next, count_ ? 0 : -1); }
    T* Last() { return MoveTo(sentinel_.prev, count_ - 1); }
    // One node on; nothing (the cursor then rests on the sentinel) past the end.
    T* Next() { return MoveTo(cursor_->next, cursor_->next == &sentinel_ ? -1 : position_ + 1); }
    T* Prev() {
        return MoveTo(cursor_->prev, cursor_->prev == &sentinel_ ? -1
                                     : cursor_ == &sentinel_     ? count_ - 1
                                                                 : position_ - 1);
    }
    T* Current() { return cursor_ == &sentinel_ ? nullptr : &static_cast<Node*>(cursor_)->value; }
    // The record at a position counted from First (0); moves the cursor there.
    T* At(int position) {
        if (position < 0 || position >= count_) return nullptr;
        T* record = First();
        for (int i = 0; i < position; ++i) record = Next();
        return record;
    }

    int Count() const { return count_; }
    // The cursor's position counted from First, or -1 on the sentinel.
    int Position() const { return position_; }
    int Error() const { return error_; }

    // Inserts after the last record; returns its position, or -1 when out of memory.
    int Append(const T& record) {
        Node* node = NewNode(record);
        if (!node) return -1;
        LinkAfter(node, sentinel_.prev);
        return MoveToNode(node, count_ - 1);
    }

    // Inserts before the first record that does not belong before the new one, so that the list
    // keeps its order; the cursor rests on the new record, whose position is returned.
    int InsertSorted(const T& record) {
        Node* node = NewNode(record);
        if (!node) return -1;
        Hook* after = &sentinel_;
        int position = 0;
        for (Hook* l = sentinel_.next; l != &sentinel_; l = l->next, ++position) {
            if (compare_ && compare_(static_cast<Node*>(l)->value, record) >= 0) break;
            after = l;
        }
        LinkAfter(node, after);
        return MoveToNode(node, position);
    }

    // Walks from First to the first record equal to the key by the comparison.
    T* Find(const T& key) {
        if (!compare_) return nullptr;
        for (T* r = First(); r; r = Next()) {
            if (compare_(*r, key) == 0) return r;
        }
        return nullptr;
    }

    // Frees the cursor's record; the cursor moves to the following one, or to Last.
    void RemoveCurrent() {
        if (cursor_ == &sentinel_) return;
        Hook* next = cursor_->next;
        Unlink(static_cast<Node*>(cursor_));
        if (next == &sentinel_) {
            Last();
        } else {
            cursor_ = next;  // the position stays: the following record moved up into it
        }
    }

    void Clear() {
        while (count_) {
            Last();
            RemoveCurrent();
        }
        cursor_ = &sentinel_;
        position_ = -1;
    }

    // Read-only walks that leave the cursor alone; reversed, they run from Last to First.
    class const_iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        explicit const_iterator(const Hook* l) : link_(l) {}
        reference operator*() const { return static_cast<const Node*>(link_)->value; }
        pointer operator->() const { return &**this; }
        const_iterator& operator++() { return link_ = link_->next, *this; }
        const_iterator operator++(int) {
            auto old = *this;
            ++*this;
            return old;
        }
        const_iterator& operator--() { return link_ = link_->prev, *this; }
        const_iterator operator--(int) {
            auto old = *this;
            --*this;
            return old;
        }
        bool operator==(const const_iterator& o) const { return link_ == o.link_; }

    private:
        const Hook* link_ = nullptr;
    };
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    const_iterator begin() const { return const_iterator(sentinel_.next); }
    const_iterator end() const { return const_iterator(&sentinel_); }
    const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

private:
    Node* NewNode(const T& record) {
        Node* node = new (std::nothrow) Node(record);
        if (!node) error_ = kErrorNoMemory;
        return node;
    }
    void LinkAfter(Node* node, Hook* after) {
        node->prev = after;
        node->next = after->next;
        after->next->prev = node;
        after->next = node;
        ++count_;
    }
    void Unlink(Node* node) {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        --count_;
        if (release_) release_(node->value);
        delete node;
    }
    T* MoveTo(Hook* l, int position) {
        cursor_ = l;
        position_ = l == &sentinel_ ? -1 : position;
        return Current();
    }
    int MoveToNode(Node* node, int position) {
        MoveTo(node, position);
        return position;
    }
    void CopyRecordsOf(const CCursorList& other) {
        for (const T& record : other) {
            if (Append(record) < 0) break;
        }
        cursor_ = &sentinel_;
        position_ = -1;
    }

    void TakeRecordsOf(CCursorList& other) {
        if (other.count_ == 0) return;
        sentinel_.next = other.sentinel_.next;
        sentinel_.prev = other.sentinel_.prev;
        sentinel_.next->prev = &sentinel_;
        sentinel_.prev->next = &sentinel_;
        count_ = other.count_;
        other.sentinel_ = {&other.sentinel_, &other.sentinel_};
        other.count_ = 0;
        other.cursor_ = &other.sentinel_;
        other.position_ = -1;
    }

    Hook sentinel_{&sentinel_, &sentinel_};
    Hook* cursor_ = &sentinel_;
    int count_ = 0;
    int position_ = -1;
    int error_ = kErrorNone;
    Compare compare_ = nullptr;
    Release release_;
};

}  // namespace tavrel
