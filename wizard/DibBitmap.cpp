#include "wizard/DibBitmap.h"

#include <zlib.h>

#include <utility>

int DibBitmap::ColorTableLength(int bitCount) {
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

BOOL DibBitmap::LoadResourceBitmap(int id, HMODULE module) {
    if (!module) module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return FALSE;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return FALSE;
    const BYTE* packed = static_cast<const BYTE*>(LockResource(loaded));
    DWORD packedSize = SizeofResource(module, found);
    if (!packed || packedSize < 4) return FALSE;
    DWORD size = packed[0] | packed[1] << 8 | packed[2] << 16 | DWORD(packed[3]) << 24;
    // zlib expands at most 1032 to 1: a larger length is a damaged resource.
    if (size < sizeof(BITMAPINFOHEADER) || size / 1032 > packedSize) return FALSE;
    std::vector<BYTE> data(size);
    uLongf unpacked = size;
    if (uncompress(data.data(), &unpacked, packed + 4, packedSize - 4) != Z_OK || unpacked != size) return FALSE;
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(data.data());
    if (header->biSize != sizeof(BITMAPINFOHEADER)) return FALSE;
    DWORD offset = sizeof(BITMAPINFOHEADER) + 4 * ColorTableLength(header->biBitCount);
    if (offset > size) return FALSE;  // a truncated resource would be read past its end
    data_ = std::move(data);
    info_ = reinterpret_cast<const BITMAPINFO*>(data_.data());
    bits_ = data_.data() + offset;
    return TRUE;
}

int DibBitmap::Width() const { return info_ ? info_->bmiHeader.biWidth : 0; }
int DibBitmap::Height() const { return info_ ? info_->bmiHeader.biHeight : 0; }

HPALETTE DibBitmap::CreatePalette() const {
    if (!info_) return nullptr;
    int entries = ColorTableLength(info_->bmiHeader.biBitCount);
    if (entries == 0) return nullptr;
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY));
    LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(entries);
    for (int i = 0; i < entries; ++i) {
        const RGBQUAD& from = info_->bmiColors[i];
        palette->palPalEntry[i] = {from.rgbRed, from.rgbGreen, from.rgbBlue, 0};
    }
    return ::CreatePalette(palette);
}

void DibBitmap::Draw(HDC dc, const RECT& rect, HPALETTE palette) {
    if (!bits_) return;
    HPALETTE previous = nullptr;
    if (palette) {
        previous = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0, Width(),
                  Height(), bits_, info_, DIB_RGB_COLORS, SRCCOPY);
    if (previous) SelectPalette(dc, previous, FALSE);
}
