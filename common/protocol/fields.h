#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

// Fixed-size records and packets are byte buffers read and written through field descriptors.
// A read outside the buffer gives zeros, a write outside it does nothing, so a short packet
// reads as if its missing tail were zero bytes.
namespace zelt::proto {

struct Byte {
    std::size_t offset;
    static constexpr std::size_t width = 1;
};
struct Int32 {  // little-endian, signed
    std::size_t offset;
    static constexpr std::size_t width = 4;
};
struct Int64 {  // low 32 bits first, then high 32 bits: little-endian
    std::size_t offset;
    static constexpr std::size_t width = 8;
};
// NUL-padded text: holds at most width - 1 characters when written by us; read up to the first
// NUL, never past width.
struct Text {
    std::size_t offset;
    std::size_t width;
};
// An opaque area (file data, an embedded record).
struct Bytes {
    std::size_t offset;
    std::size_t width;
};

// count elements of one field kind, stride bytes apart.
template <class F>
struct Repeated {
    F first;
    std::size_t stride;
    std::size_t count;
    constexpr F at(std::size_t k) const {
        F f = first;
        f.offset += stride * k;
        return f;
    }
};

// A descriptor in uniform form, for checking that layouts tile their records exactly.
struct FieldInfo {
    std::string_view name;
    std::size_t offset;
    std::size_t width;
    std::size_t count = 1;
    std::size_t stride = 0;
};

template <class F>
constexpr FieldInfo describe(std::string_view name, F f) {
    return FieldInfo{name, f.offset, f.width};
}
template <class F>
constexpr FieldInfo describe(std::string_view name, Repeated<F> r) {
    return FieldInfo{name, r.first.offset, r.first.width, r.count, r.stride};
}

class ConstView {
public:
    ConstView() = default;
    explicit ConstView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t get(Byte f) const { return f.offset < bytes_.size() ? bytes_[f.offset] : 0; }
    std::int32_t get(Int32 f) const { return static_cast<std::int32_t>(readLe(f.offset, 4)); }
    std::int64_t get(Int64 f) const { return static_cast<std::int64_t>(readLe(f.offset, 8)); }
    std::string get(Text f) const {
        const std::size_t end = std::min(f.offset + f.width, bytes_.size());
        std::string out;
        for (std::size_t i = f.offset; i < end && bytes_[i] != 0; ++i) {
            out.push_back(static_cast<char>(bytes_[i]));
        }
        return out;
    }
    // The area as far as the buffer holds it.
    std::span<const std::uint8_t> get(Bytes f) const {
        if (f.offset >= bytes_.size()) return {};
        return bytes_.subspan(f.offset, std::min(f.width, bytes_.size() - f.offset));
    }

    // A record nested at an offset (a table row, a member-file slot).
    ConstView sub(std::size_t offset, std::size_t size) const {
        if (offset >= bytes_.size()) return ConstView{};
        return ConstView{bytes_.subspan(offset, std::min(size, bytes_.size() - offset))};
    }

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }

private:
    std::uint64_t readLe(std::size_t offset, std::size_t width) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t at = offset + i;
            const std::uint64_t byte = at < bytes_.size() ? bytes_[at] : 0;
            v |= byte << (8 * i);
        }
        return v;
    }

    std::span<const std::uint8_t> bytes_;
};

class MutableView : public ConstView {
public:
    MutableView() = default;
    explicit MutableView(std::span<std::uint8_t> bytes) : ConstView(bytes), mutable_(bytes) {}

    using ConstView::get;

    void set(Byte f, std::uint8_t v) {
        if (f.offset < mutable_.size()) mutable_[f.offset] = v;
    }
    void set(Int32 f, std::int32_t v) { writeLe(f.offset, static_cast<std::uint32_t>(v), 4); }
    void set(Int64 f, std::int64_t v) { writeLe(f.offset, static_cast<std::uint64_t>(v), 8); }
    // Copies at most width - 1 characters (fewer at an embedded NUL) and zeroes the rest.
    void set(Text f, std::string_view text) {
        if (f.width == 0) return;
        const auto nul = text.find('\0');
        if (nul != std::string_view::npos) text = text.substr(0, nul);
        setPadded(f.offset, f.width, text.substr(0, std::min(text.size(), f.width - 1)));
    }
    // Copies up to width bytes and zeroes the rest of the area.
    void set(Bytes f, std::span<const std::uint8_t> data) {
        setPadded(f.offset, f.width,
                  std::string_view(reinterpret_cast<const char*>(data.data()),
                                   std::min(data.size(), f.width)));
    }
    void clear(std::size_t offset, std::size_t width) { setPadded(offset, width, {}); }

    MutableView sub(std::size_t offset, std::size_t size) {
        if (offset >= mutable_.size()) return MutableView{};
        return MutableView{mutable_.subspan(offset, std::min(size, mutable_.size() - offset))};
    }
    std::span<std::uint8_t> mutableBytes() { return mutable_; }

private:
    void writeLe(std::size_t offset, std::uint64_t v, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            if (offset + i < mutable_.size()) mutable_[offset + i] = (v >> (8 * i)) & 0xFF;
        }
    }
    void setPadded(std::size_t offset, std::size_t width, std::string_view content) {
        if (offset >= mutable_.size()) return;
        const std::size_t room = std::min(width, mutable_.size() - offset);
        const std::size_t copied = std::min(content.size(), room);
        std::uint8_t* at = mutable_.data() + offset;
        std::copy_n(content.data(), copied, at);
        std::fill_n(at + copied, room - copied, std::uint8_t{0});
    }

    std::span<std::uint8_t> mutable_;
};

// Compares a text field's stored value with a text over at most `limit` characters, as the
// fixed-width fields are compared everywhere (a longer text is cut, not refused).
inline std::string_view capped(std::string_view text, std::size_t limit) {
    return text.substr(0, std::min(text.size(), limit));
}

}  // namespace zelt::proto
