#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tamrel {

// Where the eleven node arrays lie in an index region. The same layout is used in memory and in
// a saved file: bytes 0-4095 are the header page, each array starts on a 16-byte boundary.
struct Layout {
    // Array numbers, in region order.
    enum Array : int {
        names = 0,
        nameOff,
        parent,
        firstChild,
        childCount,
        subtreeEnd,
        size,
        items,
        kind,
        mtime,
        mask,
        arrayCount
    };
    static constexpr std::uint64_t headerBytes = 4096;

    // Computed in 64 bits: cap and nameCap below 2^32 cannot overflow. Capacities read from an
    // untrusted file are bounded before they get here.
    Layout(std::uint64_t cap, std::uint64_t nameCap);
    Layout() : Layout(0, 0) {}

    std::uint64_t cap;
    std::uint64_t nameCap;
    std::array<std::uint64_t, arrayCount> offsets;
    std::uint64_t total;

    friend bool operator==(const Layout&, const Layout&) = default;
};

// The eleven node arrays of one region, typed, at the places `layout` gives: the one declaration
// shared by the index, its writer and the check of a saved file. `Byte` is std::byte, or const
// std::byte for arrays that are only read. The pointers borrow the region, which outlives them.
template <typename Byte>
struct NodeArrays {
    template <typename T>
    using Ptr = std::conditional_t<std::is_const_v<Byte>, const T*, T*>;

    NodeArrays(Byte* region, const Layout& layout)
        : names_(at<std::uint8_t>(region, layout, Layout::names)),
          nameOff_(at<std::uint32_t>(region, layout, Layout::nameOff)),
          parent_(at<std::uint32_t>(region, layout, Layout::parent)),
          firstChild_(at<std::uint32_t>(region, layout, Layout::firstChild)),
          childCount_(at<std::uint32_t>(region, layout, Layout::childCount)),
          subtreeEnd_(at<std::uint32_t>(region, layout, Layout::subtreeEnd)),
          size_(at<std::uint64_t>(region, layout, Layout::size)),
          items_(at<std::uint32_t>(region, layout, Layout::items)),
          kind_(at<std::uint8_t>(region, layout, Layout::kind)),
          mtime_(at<std::uint32_t>(region, layout, Layout::mtime)),
          mask_(at<std::uint32_t>(region, layout, Layout::mask)) {}

    Ptr<std::uint8_t> names_;
    Ptr<std::uint32_t> nameOff_;
    Ptr<std::uint32_t> parent_;
    Ptr<std::uint32_t> firstChild_;
    Ptr<std::uint32_t> childCount_;
    Ptr<std::uint32_t> subtreeEnd_;
    Ptr<std::uint64_t> size_;
    Ptr<std::uint32_t> items_;
    Ptr<std::uint8_t> kind_;
    Ptr<std::uint32_t> mtime_;
    Ptr<std::uint32_t> mask_;

private:
    template <typename T>
    static Ptr<T> at(Byte* region, const Layout& layout, Layout::Array k) {
        return reinterpret_cast<Ptr<T>>(region + layout.offsets[k]);
    }
};

}  // namespace tamrel
