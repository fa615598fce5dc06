#pragma once
// Owners for the GDI objects the wizard creates: fonts, palettes, bitmaps,
// memory contexts, a window's device context, and an object selected into a
// context for a while.
#include <windows.h>

#include "system/UniqueHandle.h"

template <typename Object>
struct GdiObjectTraits {
    using Handle = Object;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DeleteObject(h); }
};
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniquePalette = UniqueHandle<GdiObjectTraits<HPALETTE>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;

// A memory device context (CreateCompatibleDC).
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static void close(Handle dc) { DeleteDC(dc); }
};
using UniqueMemoryDC = UniqueHandle<MemoryDcTraits>;

// GetDC/ReleaseDC for one window.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a font into a context and puts the previous one back.
class SelectedFont {
public:
    SelectedFont(HDC dc, HFONT font) : dc_(dc), previous_(font ? SelectObject(dc, font) : nullptr) {}
    ~SelectedFont() {
        if (previous_) SelectObject(dc_, previous_);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
