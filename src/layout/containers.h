// Links and lists of the layout model.
//
// Every link between model objects is a TPtr: a non-owning pointer whose
// target is checked against the class it claims to be each time it is
// followed. A failed check means the program itself is broken (a dangling
// or mistyped link), never that the input is bad, so it stops the program.
//
// TSafeList is the model's doubly linked list of references. It never owns
// its items: removing nodes or destroying the list frees nodes only, so one
// fragment can sit in the page pool, a column and a joined list at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "platform/rect.h"

// Identity of a model class. Each tagged class owns one static TypeTag whose
// base link names the tag of its base class, so a link to a base class may
// point at an object of a derived class.
struct TypeTag {
    const char* name;
    const TypeTag* base;
};

// Base of every object a TPtr can point at. The most derived constructor
// leaves its own tag; the destructor clears it so that following a link to
// a destroyed object is caught while the memory still holds it.
class CTagged {
public:
    virtual ~CTagged() { m_pTag = nullptr; }
    const TypeTag* GetTag() const { return m_pTag; }

protected:
    CTagged() = default;
    CTagged(const CTagged&) = default;
    CTagged& operator=(const CTagged&) = default;
    void SetTag(const TypeTag* tag) { m_pTag = tag; }

private:
    const TypeTag* m_pTag = nullptr;
};

[[noreturn]] void TPtrFault(const char* expected, const CTagged* target);

// Declares the static tag of a class; QM_TAG_INIT in each constructor
// records it on the object.
#define QM_TAGGED_CLASS(Class, Base)                                    \
public:                                                                 \
    static const TypeTag* StaticTag() {                                 \
        static const TypeTag tag{#Class, Base};                         \
        return &tag;                                                    \
    }                                                                   \
                                                                        \
private:

#define QM_TAG_INIT() SetTag(StaticTag())

template <class T>
bool TagMatches(const CTagged* obj) {
    for (const TypeTag* t = obj->GetTag(); t != nullptr; t = t->base) {
        if (t == T::StaticTag()) return true;
    }
    return false;
}

template <class T>
class TPtr {
public:
    TPtr() = default;
    TPtr(std::nullptr_t) {}
    TPtr(T* p) : m_p(p) {}

    T* get() const {
        if (m_p != nullptr && !TagMatches<T>(m_p)) TPtrFault(T::StaticTag()->name, m_p);
        return m_p;
    }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return m_p != nullptr; }
    bool IsEmpty() const { return m_p == nullptr; }
    // Raw identity, for comparisons that must not follow the link.
    T* raw() const { return m_p; }
    bool operator==(const TPtr& o) const { return m_p == o.m_p; }
    bool operator==(const T* p) const { return m_p == p; }

private:
    T* m_p = nullptr;
};

template <class T>
class TSafeList;

// One list node: next, previous, item. Nodes are tagged like model objects
// so that a position from a freed list is caught when it is followed.
template <class T>
class TNode : public CTagged {
    QM_TAGGED_CLASS(TNode, nullptr)
public:
    TNode(TNode* prev, TNode* next, T* item) : m_pNext(next), m_pPrev(prev), m_pItem(item) { QM_TAG_INIT(); }
    TPtr<TNode> m_pNext;
    TPtr<TNode> m_pPrev;
    TPtr<T> m_pItem;
};

template <class T>
class TSafeList : public CTagged {
    QM_TAGGED_CLASS(TSafeList, nullptr)
public:
    using Node = TNode<T>;
    using POSITION = Node*;

    TSafeList() { QM_TAG_INIT(); }
    TSafeList(const TSafeList&) = delete;
    TSafeList& operator=(const TSafeList&) = delete;
    virtual ~TSafeList() { RemoveAll(); }

    int32_t GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    POSITION GetHeadPosition() const { return m_pHead.get(); }
    POSITION GetTailPosition() const { return m_pTail.get(); }
    T* GetHead() const { return m_pHead ? m_pHead->m_pItem.get() : nullptr; }
    T* GetTail() const { return m_pTail ? m_pTail->m_pItem.get() : nullptr; }

    // Returns the item at pos and moves pos to the next node.
    T* GetNext(POSITION& pos) const {
        Node* n = TPtr<Node>(pos).get();
        pos = n->m_pNext.get();
        return n->m_pItem.get();
    }
    // Returns the item at pos and moves pos to the previous node.
    T* GetPrev(POSITION& pos) const {
        Node* n = TPtr<Node>(pos).get();
        pos = n->m_pPrev.get();
        return n->m_pItem.get();
    }
    T* GetAt(POSITION pos) const { return TPtr<Node>(pos)->m_pItem.get(); }
    void SetAt(POSITION pos, T* item) { TPtr<Node>(pos)->m_pItem = item; }

    POSITION AddTail(T* item) {
        Node* n = NewNode(m_pTail.get(), nullptr, item);
        if (m_pTail) m_pTail->m_pNext = n; else m_pHead = n;
        m_pTail = n;
        return n;
    }
    POSITION AddHead(T* item) {
        Node* n = NewNode(nullptr, m_pHead.get(), item);
        if (m_pHead) m_pHead->m_pPrev = n; else m_pTail = n;
        m_pHead = n;
        return n;
    }
    POSITION InsertAfter(POSITION pos, T* item) {
        if (pos == nullptr) return AddHead(item);
        Node* at = TPtr<Node>(pos).get();
        Node* n = NewNode(at, at->m_pNext.get(), item);
        if (at->m_pNext) at->m_pNext->m_pPrev = n; else m_pTail = n;
        at->m_pNext = n;
        return n;
    }
    POSITION InsertBefore(POSITION pos, T* item) {
        if (pos == nullptr) return AddHead(item);
        Node* at = TPtr<Node>(pos).get();
        Node* n = NewNode(at->m_pPrev.get(), at, item);
        if (at->m_pPrev) at->m_pPrev->m_pNext = n; else m_pHead = n;
        at->m_pPrev = n;
        return n;
    }
    // Unlinks and frees the node at pos; the item itself is untouched.
    void RemoveAt(POSITION pos) {
        Node* n = TPtr<Node>(pos).get();
        if (n->m_pPrev) n->m_pPrev->m_pNext = n->m_pNext; else m_pHead = n->m_pNext;
        if (n->m_pNext) n->m_pNext->m_pPrev = n->m_pPrev; else m_pTail = n->m_pPrev;
        --m_nCount;
        delete n;
    }
    // Position of the first node holding item, or null.
    POSITION Find(const T* item) const {
        for (Node* n = m_pHead.get(); n != nullptr; n = n->m_pNext.get())
            if (n->m_pItem.raw() == item) return n;
        return nullptr;
    }
    void RemoveAll() {
        Node* n = m_pHead.get();
        while (n != nullptr) {
            Node* next = n->m_pNext.get();
            delete n;
            n = next;
        }
        m_nCount = 0;
        m_pHead = nullptr;
        m_pTail = nullptr;
    }

    // Range-for over the items, head to tail.
    class iterator {
    public:
        explicit iterator(Node* n) : m_n(n) {}
        T* operator*() const { return m_n->m_pItem.get(); }
        iterator& operator++() { m_n = m_n->m_pNext.get(); return *this; }
        bool operator!=(const iterator& o) const { return m_n != o.m_n; }
    private:
        Node* m_n;
    };
    iterator begin() const { return iterator(m_pHead.get()); }
    iterator end() const { return iterator(nullptr); }

    TPtr<Node> m_pHead;
    TPtr<Node> m_pTail;
    int32_t m_nCount = 0;

private:
    // Every insertion goes through here, so the count cannot drift.
    Node* NewNode(Node* prev, Node* next, T* item) {
        Node* n = new Node(prev, next, item);
        ++m_nCount;
        return n;
    }
};

// A rectangle is not a model object; the rectangle lists hold tagged boxes.
class CTaggedRect : public CTagged, public CRect {
    QM_TAGGED_CLASS(CTaggedRect, nullptr)
public:
    explicit CTaggedRect(const CRect& r) : CRect(r) { QM_TAG_INIT(); }
};

// A rectangle list that owns copies of the rectangles it is given.
template <class T = void>
class TRectList : public TSafeList<CTaggedRect> {
public:
    TRectList() = default;
    ~TRectList() override { FreeRects(); }
    POSITION Add(const CRect& r) { return AddTail(new CTaggedRect(r)); }
    void FreeRects() {
        for (CTaggedRect* r : *this) delete r;
        RemoveAll();
    }
};
