// ByteFields: little-endian fields written one after another, and read back
// in the same order with every read checked against the end. Pure logic.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4, "floats travel as IEEE float32");

// Appends fields to `bytes`.
class ByteWriter {
public:
    std::vector<std::uint8_t> bytes;

    void Bytes(const void* data, std::size_t n)
    {
        const std::uint8_t* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
    }
    void U8(std::uint8_t value) { bytes.push_back(value); }
    void U16(std::uint16_t value) { Put(value, 2); }
    void U32(std::uint32_t value) { Put(value, 4); }
    void U64(std::uint64_t value) { Put(value, 8); }
    void F32(float value)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }

private:
    void Put(std::uint64_t value, int n)
    {
        for (int i = 0; i < n; ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
};

// Reads fields off `size` bytes. A read that would pass the end reads
// nothing, yields zero (Take: null) and fails the reader: every later read
// fails too, so a decoder may read on and ask Ok() where it matters.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : p(data), end(data + size) {}

    bool Ok() const { return ok; }
    std::size_t Left() const { return static_cast<std::size_t>(end - p); }

    // The next `n` bytes, in place.
    const std::uint8_t* Take(std::size_t n)
    {
        if (!ok || n > Left()) {
            ok = false;
            p = end;
            return nullptr;
        }
        const std::uint8_t* taken = p;
        p += n;
        return taken;
    }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Get(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Get(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Get(4)); }
    std::uint64_t U64() { return Get(8); }
    // Any bit pattern, NaN included: the caller checks the range.
    float F32()
    {
        const std::uint32_t bits = U32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const std::uint8_t* p;
    const std::uint8_t* end;
    bool ok = true;

    std::uint64_t Get(int n)
    {
        std::uint64_t value = 0;
        if (const std::uint8_t* b = Take(static_cast<std::size_t>(n)))
            for (int i = n - 1; i >= 0; --i)
                value = (value << 8) | b[i];
        return value;
    }
};
