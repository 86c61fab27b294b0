#pragma once

namespace store {

// Old install files and code files come in the Windows-1252 code page. It differs from
// Latin-1 only in the bytes 0x80 to 0x9F; the five bytes it leaves unassigned keep their own
// value (the C1 controls), as Windows itself reads them. Both text readers decode through this
// one table.
inline constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character a Windows-1252 byte stands for.
constexpr char16_t fromWindows1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

} // namespace store
