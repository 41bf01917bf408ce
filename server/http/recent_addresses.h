// What the server remembers per client address, in a table of bounded size:
// when it is full, the address seen least recently makes room. Forgetting
// it costs that address its history and no one else theirs, where clearing
// the table would hand every address a fresh allowance at once.
// Not thread-safe: the owner keeps it under its own lock.
#pragma once

#include <algorithm>
#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

template <typename Value>
class RecentAddresses {
public:
    explicit RecentAddresses(std::size_t capacity) : capacity(std::max<std::size_t>(capacity, 1)) {}

    // The value kept for key, made from fresh when key is new (after making
    // room), and key marked as seen now.
    Value& Seen(std::string_view key, const Value& fresh) {
        auto found = index.find(std::string(key));
        if (found != index.end()) {
            order.splice(order.begin(), order, found->second);
            return found->second->second;
        }
        while (order.size() >= capacity) ForgetLeastRecent();
        order.emplace_front(std::string(key), fresh);
        index.emplace(order.front().first, order.begin());
        return order.front().second;
    }

    // Forgets every entry for which forget(value) is true.
    template <typename Predicate>
    void ForgetIf(Predicate forget) {
        for (auto it = order.begin(); it != order.end();) {
            if (forget(it->second)) {
                index.erase(it->first);
                it = order.erase(it);
            } else {
                ++it;
            }
        }
    }

    void ForgetLeastRecent() {
        if (order.empty()) return;
        index.erase(order.back().first);
        order.pop_back();
    }

    bool Knows(std::string_view key) const { return index.contains(std::string(key)); }
    bool Full() const { return order.size() >= capacity; }
    std::size_t Size() const { return order.size(); }
    std::size_t Capacity() const { return capacity; }

private:
    using Entry = std::pair<std::string, Value>;
    const std::size_t capacity;
    std::list<Entry> order;  // most recently seen first
    std::unordered_map<std::string, typename std::list<Entry>::iterator> index;
};
