// ImageSize: an image's width and height read from the first bytes of its
// file, before anything is decoded. No SDL here.
#pragma once
#include <cstddef>

struct ImageSize {
    long long width = 0;
    long long height = 0;
};

// The size recorded in a PNG, BMP, GIF or JPEG header at the start of
// `bytes` (`n` bytes of the file, the first 256 KiB are enough for JPEG's
// metadata). Returns false for other formats or a header cut short.
bool PeekImageSize(const unsigned char* bytes, std::size_t n, ImageSize& size);
