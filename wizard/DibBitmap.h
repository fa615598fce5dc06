#pragma once
// One device-independent bitmap unpacked from a packed bitmap resource
// (resources/pack-bitmap.py) into memory the object owns, drawn stretched
// with StretchDIBits.
#include <windows.h>

#include <vector>

class DibBitmap {
public:
    DibBitmap() = default;
    DibBitmap(const DibBitmap&) = delete;
    DibBitmap& operator=(const DibBitmap&) = delete;

    // Stretches the whole bitmap to the rectangle; nothing when empty.
    void Draw(HDC dc, const RECT& rect, HPALETTE palette);

    // Loads packed bitmap resource `id` (RT_RCDATA) from `module` (this
    // program when null): its unpacked length as 4 little-endian bytes, then
    // zlib's compression of what an RT_BITMAP resource holds. Only 40-byte
    // headers are accepted; a failure leaves the object as it was.
    BOOL LoadResourceBitmap(int id, HMODULE module);
    int Width() const;
    int Height() const;
    // A palette for the colour table, or null when there is none. The caller
    // owns it.
    HPALETTE CreatePalette() const;
    // Entries of the colour table for a bit count: 1, 4 and 8 bits only.
    static int ColorTableLength(int bitCount);

private:
    std::vector<BYTE> data_;  // the unpacked resource; info_ and bits_ point into it
    const BITMAPINFO* info_ = nullptr;
    const void* bits_ = nullptr;
};
