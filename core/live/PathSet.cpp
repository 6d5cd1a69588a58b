#include "core/live/PathSet.h"

#include <utility>

namespace tamrel {

PathSet::PathSet() : nodes_(1) {}

PathSet::PathSet(std::initializer_list<std::string_view> paths) : PathSet() {
    for (std::string_view p : paths)
        insert(p);
}

PathSet::PathSet(PathSet&& other) : nodes_(std::move(other.nodes_)), size_(other.size_) {
    other.clear();
}

PathSet& PathSet::operator=(PathSet&& other) {
    if (&other != this) {
        nodes_ = std::move(other.nodes_);
        size_ = other.size_;
        other.clear();
    }
    return *this;
}

std::uint32_t PathSet::child(std::uint32_t parent, std::string_view name, bool make) {
    auto& children = nodes_[parent].children;
    if (auto it = children.find(name); it != children.end()) return it->second;
    if (!make) return none;
    const auto id = static_cast<std::uint32_t>(nodes_.size());
    nodes_[parent].children.emplace(std::string(name), id);
    nodes_.emplace_back();
    return id;
}

std::uint32_t PathSet::find(std::string_view path, bool make) {
    std::uint32_t at = 0;
    if (path.empty()) return at;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        at = child(at, path.substr(start, slash - start), make);
        if (at == none || slash == std::string_view::npos) return at;
        start = slash + 1;
    }
}

void PathSet::insert(std::string_view path) {
    Node& n = nodes_[find(path, true)];
    if (!n.member) {
        n.member = true;
        ++size_;
    }
}

bool PathSet::contains(std::string_view path) const {
    const std::uint32_t at = const_cast<PathSet*>(this)->find(path, false);
    return at != none && nodes_[at].member;
}

void PathSet::merge(PathSet& other) {
    if (&other == this) return;
    // Node by node, without building a path: (node of other, node of this).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stack{{0, 0}};
    while (!stack.empty()) {
        const auto [from, to] = stack.back();
        stack.pop_back();
        if (other.nodes_[from].member && !nodes_[to].member) {
            nodes_[to].member = true;
            ++size_;
        }
        for (const auto& [name, c] : other.nodes_[from].children)
            stack.emplace_back(c, child(to, name, true));
    }
    other.clear();
}

void PathSet::clear() {
    nodes_.assign(1, Node());
    size_ = 0;
}

bool operator==(const PathSet& a, const PathSet& b) {
    if (a.size_ != b.size_) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (*i != *j) return false;
    }
    return true;
}

PathSet::Iterator::Iterator(const PathSet* set) : set_(set), at_(0) {
    if (!set_->nodes_[0].member) ++*this;
}

void PathSet::Iterator::step() {
    const Node& n = set_->nodes_[at_];
    if (!n.children.empty()) {
        stack_.push_back({n.children.begin(), n.children.end(), path_.size(), at_ != 0});
    }
    while (!stack_.empty()) {
        Frame& f = stack_.back();
        if (f.next == f.end) {
            stack_.pop_back();
            continue;
        }
        path_.resize(f.base);
        if (f.slash) path_ += '/';
        path_ += f.next->first;
        at_ = f.next->second;
        ++f.next;
        return;
    }
    at_ = none;
    path_.clear();
}

PathSet::Iterator& PathSet::Iterator::operator++() {
    do {
        step();
    } while (at_ != none && !set_->nodes_[at_].member);
    return *this;
}

}  // namespace tamrel
