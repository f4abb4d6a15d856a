#pragma once

// The Windows handle types, declared the way the system headers declare them,
// so that the launcher's data records can be compiled and unit-tested on a
// host without those headers. Both spellings may meet in one translation
// unit: the typedefs are identical.
struct HWND__;
struct HINSTANCE__;
struct HICON__;
struct HBITMAP__;
struct HFONT__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
typedef HICON__* HICON;
typedef HBITMAP__* HBITMAP;
typedef HFONT__* HFONT;
