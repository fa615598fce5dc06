#pragma once
// One device-independent bitmap straight from a bitmap resource, drawn
// stretched with StretchDIBits. The pixels belong to the module: nothing is
// copied or freed.
#include <windows.h>

class DibBitmap {
public:
    DibBitmap() = default;
    DibBitmap(const DibBitmap&) = delete;
    DibBitmap& operator=(const DibBitmap&) = delete;

    // Stretches the whole bitmap to the rectangle; nothing when empty.
    void Draw(HDC dc, const RECT& rect, HPALETTE palette);

    // Loads RT_BITMAP resource `id` from `module` (this program when null).
    // Only 40-byte headers are accepted; a failure leaves the object as it was.
    BOOL LoadResourceBitmap(int id, HMODULE module);
    int Width() const;
    int Height() const;
    // A palette for the colour table, or null when there is none. The caller
    // owns it.
    HPALETTE CreatePalette() const;
    // Entries of the colour table for a bit count: 1, 4 and 8 bits only.
    static int ColorTableLength(int bitCount);

private:
    const BITMAPINFO* info_ = nullptr;
    const void* bits_ = nullptr;
};
