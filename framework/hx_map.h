// Ordered map from int keys to collected objects: a red-black tree whose
// nodes are collected objects. Every reference store goes through the
// write barrier.
#pragma once
#include "runtime/hx_runtime.h"

template <class V>
class c_Node : public Object {
 public:
  int m_key = 0;
  c_Node* m_right = nullptr;
  c_Node* m_left = nullptr;
  V* m_value = nullptr;
  int m_color = 0;  // -1 red, 1 black
  c_Node* m_parent = nullptr;

  c_Node* m_new(int key, V* value, int color, c_Node* parent) {
    m_key = key;
    gc_assign(m_value, value);
    m_color = color;
    gc_assign(m_parent, parent);
    return this;
  }
  c_Node* m_new2() { return this; }

  // In-order successor, or null after the largest key.
  c_Node* p_NextNode() {
    c_Node* node = this;
    if (node->m_right) {
      node = node->m_right;
      while (node->m_left) node = node->m_left;
      return node;
    }
    c_Node* parent = node->m_parent;
    while (parent && node == parent->m_right) {
      node = parent;
      parent = parent->m_parent;
    }
    return parent;
  }

  void mark() override {
    Object::mark();
    gc_mark_q(m_right);
    gc_mark_q(m_left);
    gc_mark_q(m_value);
    gc_mark_q(m_parent);
  }
};

template <class V>
class c_Map : public Object {
 public:
  typedef c_Node<V> Node;
  Node* m_root = nullptr;

  c_Map* m_new() { return this; }

  // Key order: negative when a sorts before b.
  virtual int p_Compare(int a, int b) = 0;

  // True when a node was inserted, false when an existing key's value was replaced.
  bool p_Set(int key, V* value) {
    Node* node = m_root;
    Node* parent = nullptr;
    int cmp = 0;
    while (node) {
      parent = node;
      cmp = p_Compare(key, node->m_key);
      if (cmp > 0) {
        node = node->m_right;
      } else if (cmp < 0) {
        node = node->m_left;
      } else {
        gc_assign(node->m_value, value);
        return false;
      }
    }
    node = (new Node)->m_new(key, value, -1, parent);
    if (parent) {
      if (cmp > 0) gc_assign(parent->m_right, node);
      else gc_assign(parent->m_left, node);
      p_InsertFixup(node);
    } else {
      gc_assign(m_root, node);
    }
    m_root->m_color = 1;
    return true;
  }
  bool p_Insert(int key, V* value) { return p_Set(key, value); }

  Node* p_FindNode(int key) {
    Node* node = m_root;
    while (node) {
      int cmp = p_Compare(key, node->m_key);
      if (cmp > 0) node = node->m_right;
      else if (cmp < 0) node = node->m_left;
      else return node;
    }
    return nullptr;
  }
  bool p_Contains(int key) { return p_FindNode(key) != nullptr; }
  // Removes key; false when it was not present.
  bool p_Remove(int key) {
    Node* node = p_FindNode(key);
    if (!node) return false;
    p_RemoveNode(node);
    return true;
  }
  V* p_Get(int key) {
    Node* node = p_FindNode(key);
    return node ? node->m_value : nullptr;
  }
  bool p_IsEmpty() { return m_root == nullptr; }

  // Smallest key's node, or null when empty; walk on with p_NextNode.
  Node* p_FirstNode() {
    Node* node = m_root;
    if (!node) return nullptr;
    while (node->m_left) node = node->m_left;
    return node;
  }
  int p_Count() {
    int n = 0;
    for (Node* node = p_FirstNode(); node; node = node->p_NextNode()) ++n;
    return n;
  }

  void mark() override {
    Object::mark();
    gc_mark_q(m_root);
  }

 private:
  static int p_ColorOf(Node* n) { return n ? n->m_color : 1; }

  // Puts child (may be null) in place of node under node's parent.
  void p_Replace(Node* node, Node* child) {
    Node* parent = node->m_parent;
    if (!parent) gc_assign(m_root, child);
    else if (node == parent->m_left) gc_assign(parent->m_left, child);
    else gc_assign(parent->m_right, child);
    if (child) gc_assign(child->m_parent, parent);
  }

  void p_RemoveNode(Node* node) {
    Node* fix;         // the node that took the removed position (may be null)
    Node* fixParent;   // its parent
    int removedColor;
    if (node->m_left && node->m_right) {
      // Splice out the successor and move it into node's place.
      Node* succ = node->m_right;
      while (succ->m_left) succ = succ->m_left;
      removedColor = succ->m_color;
      fix = succ->m_right;
      if (succ->m_parent == node) {
        fixParent = succ;
      } else {
        fixParent = succ->m_parent;
        p_Replace(succ, succ->m_right);
        gc_assign(succ->m_right, node->m_right);
        gc_assign(succ->m_right->m_parent, succ);
      }
      p_Replace(node, succ);
      gc_assign(succ->m_left, node->m_left);
      gc_assign(succ->m_left->m_parent, succ);
      succ->m_color = node->m_color;
    } else {
      removedColor = node->m_color;
      fix = node->m_left ? node->m_left : node->m_right;
      fixParent = node->m_parent;
      p_Replace(node, fix);
    }
    node->m_left = node->m_right = node->m_parent = nullptr;
    if (removedColor == 1) p_RemoveFixup(fix, fixParent);
  }

  void p_RemoveFixup(Node* node, Node* parent) {
    while (node != m_root && p_ColorOf(node) == 1) {
      if (node == parent->m_left) {
        Node* sib = parent->m_right;
        if (p_ColorOf(sib) == -1) {
          sib->m_color = 1;
          parent->m_color = -1;
          p_RotateLeft(parent);
          sib = parent->m_right;
        }
        if (p_ColorOf(sib->m_left) == 1 && p_ColorOf(sib->m_right) == 1) {
          sib->m_color = -1;
          node = parent;
          parent = node->m_parent;
        } else {
          if (p_ColorOf(sib->m_right) == 1) {
            sib->m_left->m_color = 1;
            sib->m_color = -1;
            p_RotateRight(sib);
            sib = parent->m_right;
          }
          sib->m_color = parent->m_color;
          parent->m_color = 1;
          if (sib->m_right) sib->m_right->m_color = 1;
          p_RotateLeft(parent);
          node = m_root;
          break;
        }
      } else {
        Node* sib = parent->m_left;
        if (p_ColorOf(sib) == -1) {
          sib->m_color = 1;
          parent->m_color = -1;
          p_RotateRight(parent);
          sib = parent->m_left;
        }
        if (p_ColorOf(sib->m_left) == 1 && p_ColorOf(sib->m_right) == 1) {
          sib->m_color = -1;
          node = parent;
          parent = node->m_parent;
        } else {
          if (p_ColorOf(sib->m_left) == 1) {
            sib->m_right->m_color = 1;
            sib->m_color = -1;
            p_RotateLeft(sib);
            sib = parent->m_left;
          }
          sib->m_color = parent->m_color;
          parent->m_color = 1;
          if (sib->m_left) sib->m_left->m_color = 1;
          p_RotateRight(parent);
          node = m_root;
          break;
        }
      }
    }
    if (node) node->m_color = 1;
  }

  void p_RotateLeft(Node* node) {
    Node* child = node->m_right;
    gc_assign(node->m_right, child->m_left);
    if (child->m_left) gc_assign(child->m_left->m_parent, node);
    gc_assign(child->m_parent, node->m_parent);
    if (node->m_parent) {
      if (node == node->m_parent->m_left) gc_assign(node->m_parent->m_left, child);
      else gc_assign(node->m_parent->m_right, child);
    } else {
      gc_assign(m_root, child);
    }
    gc_assign(child->m_left, node);
    gc_assign(node->m_parent, child);
  }
  void p_RotateRight(Node* node) {
    Node* child = node->m_left;
    gc_assign(node->m_left, child->m_right);
    if (child->m_right) gc_assign(child->m_right->m_parent, node);
    gc_assign(child->m_parent, node->m_parent);
    if (node->m_parent) {
      if (node == node->m_parent->m_right) gc_assign(node->m_parent->m_right, child);
      else gc_assign(node->m_parent->m_left, child);
    } else {
      gc_assign(m_root, child);
    }
    gc_assign(child->m_right, node);
    gc_assign(node->m_parent, child);
  }
  void p_InsertFixup(Node* node) {
    while (node->m_parent && node->m_parent->m_color == -1 && node->m_parent->m_parent) {
      Node* grand = node->m_parent->m_parent;
      if (node->m_parent == grand->m_left) {
        Node* uncle = grand->m_right;
        if (uncle && uncle->m_color == -1) {
          node->m_parent->m_color = 1;
          uncle->m_color = 1;
          grand->m_color = -1;
          node = grand;
        } else {
          if (node == node->m_parent->m_right) {
            node = node->m_parent;
            p_RotateLeft(node);
          }
          node->m_parent->m_color = 1;
          node->m_parent->m_parent->m_color = -1;
          p_RotateRight(node->m_parent->m_parent);
        }
      } else {
        Node* uncle = grand->m_left;
        if (uncle && uncle->m_color == -1) {
          node->m_parent->m_color = 1;
          uncle->m_color = 1;
          grand->m_color = -1;
          node = grand;
        } else {
          if (node == node->m_parent->m_left) {
            node = node->m_parent;
            p_RotateRight(node);
          }
          node->m_parent->m_color = 1;
          node->m_parent->m_parent->m_color = -1;
          p_RotateLeft(node->m_parent->m_parent);
        }
      }
    }
    m_root->m_color = 1;
  }
};

// Keys ordered by 32-bit wrap-around subtraction.
template <class V>
class c_IntMap : public c_Map<V> {
 public:
  c_IntMap* m_new() {
    c_Map<V>::m_new();
    return this;
  }
  int p_Compare(int a, int b) override {
    return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
  }
};
