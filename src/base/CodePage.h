#pragma once
// 8-bit texts in files that move to and from handhelds (calibration comments, session-file
// texts) are in the handheld's code page; in memory they are UTF-8. The conversion happens at
// the file boundary and never garbles bytes: a byte that has no character in the code page (or
// is not valid UTF-8 in the "utf-8" code page) reads as the private-use character U+F700 + byte
// and writes back as that byte, so such texts round-trip unchanged.
//
//   CodePage cp;                                 // windows-1251
//   std::string text = cp.ToUtf8(fileBytes);
//   std::string bytes = cp.FromUtf8(text);       // the same bytes again

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

class CodePage
{
public:
    enum class Kind : uint8_t {
        Windows1250,
        Windows1251,
        Windows1252,
        Dos866,
        Koi8R,
        Latin1,
        Utf8
    };

    // The environment variable that chooses the code page of exchanged files.
    static constexpr const char* kEnvironmentVariable = "ORVCONTROL_CODEPAGE";

    CodePage() = default;  // windows-1251, the instrument family's own
    explicit CodePage(Kind kind) : m_kind(kind) {}

    // Accepts the usual spellings, letter case ignored: "1251", "cp1251", "windows-1251",
    // "1250", "1252", "866", "koi8-r", "latin1" / "iso-8859-1", "utf-8" / "utf8" / "65001".
    [[nodiscard]] static bool FromName(std::string_view name, CodePage& out);
    // The code page named by ORVCONTROL_CODEPAGE, windows-1251 when it is unset. An unknown name
    // gives windows-1251 and a warning an operator can act on; `warning` is cleared otherwise.
    static CodePage FromEnvironment(std::string& warning);

    [[nodiscard]] Kind GetKind() const { return m_kind; }
    // The canonical name, e.g. "windows-1251".
    [[nodiscard]] std::string Name() const;

    // File bytes to UTF-8. Total: every input gives valid UTF-8.
    [[nodiscard]] std::string ToUtf8(std::string_view bytes) const;
    // UTF-8 to file bytes. A character the code page lacks, and each byte of malformed UTF-8,
    // becomes '?'; U+F780..U+F7FF become the bytes 0x80..0xFF.
    [[nodiscard]] std::string FromUtf8(std::string_view text) const;

    friend bool operator==(const CodePage&, const CodePage&) = default;

private:
    Kind m_kind = Kind::Windows1251;
};

// Decodes one UTF-8 character at `text[pos]` and advances `pos`. False, advancing by one byte,
// on malformed input (overlong forms, surrogates and values above U+10FFFF included).
[[nodiscard]] bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& codePoint);
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace orv
