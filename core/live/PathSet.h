#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tamrel {

// A set of paths held as a tree of their components (the texts between "/"), so that its memory
// grows with the number of components it holds and not with the lengths of its paths: the
// thousands of folders of a chain thousands of levels deep cost a name each, where a set of
// whole paths would cost a path each, and so the square of the depth. Any text is held exactly
// as given ("/a//b/" and "/a/b" are two paths). Iteration gives each path once, in the order of
// a walk of the tree: a path before the paths below it, the components of one folder in byte
// order.
//
// Not thread-safe; a value, copied and moved like one.
class PathSet {
    struct Node {
        std::map<std::string, std::uint32_t, std::less<>> children;
        bool member = false;
    };

public:
    // An input iterator over the paths; the text it points at lives until it is advanced.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::string;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::string*;
        using reference = const std::string&;

        Iterator() = default;
        const std::string& operator*() const { return path_; }
        const std::string* operator->() const { return &path_; }
        Iterator& operator++();
        void operator++(int) { ++*this; }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }

    private:
        friend class PathSet;
        explicit Iterator(const PathSet* set);
        void step();  // to the next node of the tree, member or not

        struct Frame {
            std::map<std::string, std::uint32_t, std::less<>>::const_iterator next, end;
            std::size_t base;  // the parent's path length
            bool slash;        // a "/" goes between the parent's path and a child's name
        };
        const PathSet* set_ = nullptr;
        std::uint32_t at_ = none;
        std::string path_;
        std::vector<Frame> stack_;
    };
    using iterator = Iterator;
    using const_iterator = Iterator;
    using value_type = std::string;

    PathSet();
    PathSet(std::initializer_list<std::string_view> paths);
    PathSet(const PathSet&) = default;
    PathSet& operator=(const PathSet&) = default;
    // The moved-from set is left empty.
    PathSet(PathSet&& other);
    PathSet& operator=(PathSet&& other);

    void insert(std::string_view path);
    bool contains(std::string_view path) const;
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    // Adds every path of `other` and leaves it empty.
    void merge(PathSet& other);
    void merge(PathSet&& other) { merge(other); }
    void clear();

    Iterator begin() const { return Iterator(this); }
    Iterator end() const { return Iterator(); }

    friend bool operator==(const PathSet& a, const PathSet& b);

private:
    static constexpr std::uint32_t none = 0xFFFFFFFFu;
    // The node of `path`'s last component below node 0 (the empty path), made when missing
    // and `make` is set; none otherwise.
    std::uint32_t find(std::string_view path, bool make);
    std::uint32_t child(std::uint32_t parent, std::string_view name, bool make);

    std::vector<Node> nodes_;  // [0] the empty path, the top of the tree
    std::size_t size_ = 0;
};

}  // namespace tamrel
