#include "wizard/DibBitmap.h"

#include <vector>

int DibBitmap::ColorTableLength(int bitCount) {
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

BOOL DibBitmap::LoadResourceBitmap(int id, HMODULE module) {
    if (!module) module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    if (!found) return FALSE;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return FALSE;
    const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
    DWORD size = SizeofResource(module, found);
    if (!data || size < sizeof(BITMAPINFOHEADER)) return FALSE;
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    if (header->biSize != sizeof(BITMAPINFOHEADER)) return FALSE;
    DWORD offset = sizeof(BITMAPINFOHEADER) + 4 * ColorTableLength(header->biBitCount);
    if (offset > size) return FALSE;  // a truncated resource would be read past its end
    info_ = reinterpret_cast<const BITMAPINFO*>(data);
    bits_ = data + offset;
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
