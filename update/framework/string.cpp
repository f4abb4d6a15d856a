#include "afxwin.h"

#include <cstdarg>
#include <cstdio>

CString& CString::operator=(const char* text)
{
    text_ = text != nullptr ? text : "";
    return *this;
}

BOOL CString::LoadString(UINT id)
{
    // Resource strings are at most 4096 characters long.
    char buffer[4097] = {};
    const int length = ::LoadStringA(AfxFindResourceHandle(MAKEINTRESOURCEA((id >> 4) + 1), MAKEINTRESOURCEA(6)),
                                   id, buffer, sizeof buffer);
    text_.assign(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    return length > 0;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        text_.clear();
        return;
    }
    std::string out(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, again);
    va_end(again);
    out.resize(static_cast<std::size_t>(length));
    text_ = out;
}
