#ifndef LITERALINDEX_H
#define LITERALINDEX_H

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Finds, in one pass over a text, every key of a set that the text contains
// (Aho-Corasick): how many patterns are narrowed to the few worth trying.
// Keys and texts are sequences of code points.
class LiteralIndex
{
public:
    // Adds `key` (not empty), standing for `value`.
    void add(const std::u32string &key, int value);
    // Links the keys; call once, after the last add.
    void build();

    // Calls `test` with the value of each key that `text` contains, each key
    // once, until `test` returns true; returns whether one did.
    bool findAny(const char32_t *text, int length,
                 const std::function<bool(int value)> &test) const;

private:
    struct Node
    {
        int fail = 0;          // the longest proper suffix that is a node too
        int nextWithKeys = 0;  // the nearest node on the fail chain that ends keys (0: none)
        std::vector<int> values;
    };
    static unsigned long long edgeKey(int node, char32_t c)
    {
        return (static_cast<unsigned long long>(node) << 21) | c;
    }
    int child(int node, char32_t c) const;

    std::vector<Node> nodes {Node()};  // the root first
    std::unordered_map<unsigned long long, int> edges;
    std::vector<std::vector<std::pair<char32_t, int>>> children {{}};  // while building
};

#endif  // LITERALINDEX_H
