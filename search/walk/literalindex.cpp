#include "literalindex.h"

#include <QVarLengthArray>

#include <algorithm>
#include <deque>

void LiteralIndex::add(const std::u32string &key, int value)
{
    int node = 0;
    for (const char32_t c : key) {
        int next = child(node, c);
        if (next < 0) {
            next = int(nodes.size());
            nodes.emplace_back();
            children.emplace_back();
            edges.emplace(edgeKey(node, c), next);
            children[size_t(node)].emplace_back(c, next);
        }
        node = next;
    }
    nodes[size_t(node)].values.push_back(value);
}

int LiteralIndex::child(int node, char32_t c) const
{
    const auto found = edges.find(edgeKey(node, c));
    return found == edges.end() ? -1 : found->second;
}

void LiteralIndex::build()
{
    // Breadth first: a node's fail link is shallower than the node.
    std::deque<int> queue;
    for (const auto &edge : children.front())
        queue.push_back(edge.second);
    while (!queue.empty()) {
        const int node = queue.front();
        queue.pop_front();
        for (const auto &[c, next] : children[size_t(node)]) {
            int fail = nodes[size_t(node)].fail;
            int target = child(fail, c);
            while (target < 0 && fail != 0) {
                fail = nodes[size_t(fail)].fail;
                target = child(fail, c);
            }
            Node &entry = nodes[size_t(next)];
            entry.fail = target < 0 ? 0 : target;
            const Node &failNode = nodes[size_t(entry.fail)];
            entry.nextWithKeys = failNode.values.empty() ? failNode.nextWithKeys : entry.fail;
            queue.push_back(next);
        }
    }
    children.clear();
    children.shrink_to_fit();
}

bool LiteralIndex::findAny(const char32_t *text, int length,
                           const std::function<bool(int value)> &test) const
{
    if (nodes.size() == 1)
        return false;
    QVarLengthArray<int, 16> tried;  // nodes whose keys were tried: a key repeated is tried once
    int node = 0;
    for (int i = 0; i < length; ++i) {
        int next = child(node, text[i]);
        while (next < 0 && node != 0) {
            node = nodes[size_t(node)].fail;
            next = child(node, text[i]);
        }
        node = next < 0 ? 0 : next;
        for (int found
             = nodes[size_t(node)].values.empty() ? nodes[size_t(node)].nextWithKeys : node;
             found != 0; found = nodes[size_t(found)].nextWithKeys) {
            if (std::find(tried.begin(), tried.end(), found) != tried.end())
                continue;
            tried.append(found);
            for (const int value : nodes[size_t(found)].values) {
                if (test(value))
                    return true;
            }
        }
    }
    return false;
}
