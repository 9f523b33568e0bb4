#include "calibration/CalibrationIni.h"

#include "base/CodePage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace orv {

namespace {

constexpr size_t kMaxWarnings = 100;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kCommentKey = "\tComment=";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

// A decimal integer as "%d" takes it: blanks, an optional sign, at least one digit. Too many
// digits saturate; the callers keep only the low bits, as the handheld's narrow fields did.
struct ScannedInteger
{
    bool negative = false;
    uint64_t magnitude = 0;

    int64_t Signed() const
    {
        constexpr uint64_t kMax = uint64_t{std::numeric_limits<int64_t>::max()};
        const int64_t m = static_cast<int64_t>(magnitude > kMax ? kMax : magnitude);
        return negative ? -m : m;
    }
    // The value reduced modulo 2^16 (and 2^8 below), as "%hu" into an unsigned 16-bit field.
    uint16_t Low16() const
    {
        const uint64_t v = negative ? 0 - magnitude : magnitude;
        return static_cast<uint16_t>(v & 0xFFFFu);
    }
    uint8_t Low8() const
    {
        const uint64_t v = negative ? 0 - magnitude : magnitude;
        return static_cast<uint8_t>(v & 0xFFu);
    }
};

bool ScanInteger(std::string_view s, size_t& pos, ScannedInteger& out)
{
    size_t i = pos;
    while (i < s.size() && IsBlank(s[i])) {
        ++i;
    }
    ScannedInteger value;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        value.negative = s[i] == '-';
        ++i;
    }
    if (i >= s.size() || !IsDigit(s[i])) {
        return false;
    }
    for (; i < s.size() && IsDigit(s[i]); ++i) {
        const auto digit = static_cast<uint64_t>(s[i] - '0');
        constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
        value.magnitude =
            value.magnitude > (kMax - digit) / 10 ? kMax : value.magnitude * 10 + digit;
    }
    pos = i;
    out = value;
    return true;
}

// A number as "%lf" takes it, independent of the C locale: leading blanks, an optional sign,
// then the longest number there; what follows it is ignored. Infinite and NaN values and values
// beyond the range of a double are refused.
bool ScanNumber(std::string_view s, double& out, std::string& why)
{
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) {
        ++i;
    }
    if (i < s.size() && s[i] == '+') {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            why = "is not a number";
            return false;
        }
    }
    double value = 0.0;
    const char* first = s.data() + i;
    const auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (ec == std::errc::result_out_of_range) {
        why = "is out of range";
        return false;
    }
    if (ec != std::errc() || end == first) {
        why = "is not a number";
        return false;
    }
    if (!std::isfinite(value)) {
        why = "is not a finite number";
        return false;
    }
    out = value;
    return true;
}

// The part of a line before a ';' that stands outside double quotes.
std::string_view WithoutComment(std::string_view line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\') {
            ++i;
        } else if (!quoted && c == ';') {
            return line.substr(0, i);
        }
    }
    return line;
}

// " [ ORV %d ]": blanks, '[', blanks, "ORV" in upper case, then a number; the rest of the line
// is not examined.
bool ScanHeader(std::string_view line, uint16_t& serial)
{
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (i >= line.size() || line[i] != '[') {
        return false;
    }
    ++i;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (line.substr(i, 3) != "ORV") {
        return false;
    }
    i += 3;
    ScannedInteger number;
    if (!ScanInteger(line, i, number)) {
        return false;
    }
    serial = number.Low16();
    return true;
}

// The handheld's rule for a value in double quotes: drop the opening quote and a quote in the
// last position, then trim again.
std::string_view Unquoted(std::string_view value)
{
    if (value.empty() || value.front() != '"') {
        return value;
    }
    value.remove_prefix(1);
    if (!value.empty() && value.back() == '"') {
        value.remove_suffix(1);
    }
    return Trimmed(value);
}

// A comment written in quotes by this program: the text between the quotes exactly, with \" and
// \\ standing for '"' and '\'. Any other quoted value reads by the handheld's rule.
std::string CommentValue(std::string_view value)
{
    if (value.empty() || value.front() != '"') {
        return std::string(value);
    }
    std::string text;
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size() && (value[i + 1] == '"' || value[i + 1] == '\\')) {
            text += value[++i];
        } else if (c == '"') {
            if (i + 1 == value.size()) {
                return text;
            }
            break;
        } else {
            text += c;
        }
    }
    return std::string(Unquoted(value));
}

// "dd/mm/yyyy": three integers, each of the first two followed by one non-blank separator, so
// 28/02/2007, 28.02.2007 and 28-2-2007 read alike. Missing parts keep 01/01/2000.
bool ScanDate(std::string_view value, CalibrationId& id)
{
    ScannedInteger day;
    ScannedInteger month;
    ScannedInteger year;
    size_t i = 0;
    uint8_t d = 1;
    uint8_t m = 1;
    uint16_t y = 2000;
    const bool any = ScanInteger(value, i, day);
    if (any) {
        d = day.Low8();
        if (i < value.size() && !IsBlank(value[i])) {
            ++i;
            if (ScanInteger(value, i, month)) {
                m = month.Low8();
                if (i < value.size() && !IsBlank(value[i])) {
                    ++i;
                    if (ScanInteger(value, i, year)) {
                        y = year.Low16();
                    }
                }
            }
        }
    }
    id.Day = d;
    id.Month = m;
    id.Year = y;
    return any;
}

std::string_view BaseName(std::string_view path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        slash = path.rfind('\\');
    }
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// "ISystem_ORV#%d": the serial of a file exported for one instrument, 0 for any other name.
uint16_t SerialFromFileName(std::string_view fileName)
{
    constexpr std::string_view kPrefix = "ISystem_ORV#";
    const std::string_view base = BaseName(fileName);
    if (!StartsWith(base, kPrefix)) {
        return 0;
    }
    size_t i = kPrefix.size();
    ScannedInteger number;
    return ScanInteger(base, i, number) ? number.Low16() : uint16_t{0};
}

class Reader
{
public:
    Reader(std::string_view fileName, const CodePage& codePage, const IniSectionSink& sink)
        : m_codePage(codePage), m_sink(sink), m_fileSerial(SerialFromFileName(fileName))
    {}

    IniReadReport Read(std::span<const uint8_t> bytes)
    {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        size_t start = 0;
        while (start < text.size() && !m_report.stopped) {
            size_t end = text.find('\n', start);
            const size_t next = end == std::string_view::npos ? text.size() : end + 1;
            if (end == std::string_view::npos) {
                end = text.size();
            }
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);  // text mode: CR LF is one line end
            }
            ++m_lineNumber;
            ReadLine(line);
            start = next;
        }
        if (!m_report.stopped) {
            if (m_pendingSerial == 0 && m_fileSerial != 0) {
                m_id.Serial = m_fileSerial;
            }
            if (m_id.Serial != 0) {
                FinishSection();
            }
        }
        if (m_droppedWarnings > 0) {
            m_report.warnings.push_back(std::to_string(m_droppedWarnings) +
                                        " more lines were skipped.");
        }
        return std::move(m_report);
    }

private:
    void Warn(const std::string& message)
    {
        if (m_report.warnings.size() < kMaxWarnings) {
            m_report.warnings.push_back("line " + std::to_string(m_lineNumber) + ": " + message);
        } else {
            ++m_droppedWarnings;
        }
    }

    void ReadLine(std::string_view line)
    {
        // The handheld kept lines as C strings.
        const size_t nul = line.find('\0');
        if (nul != std::string_view::npos) {
            line = line.substr(0, nul);
        }
        if (line.size() > kIniLineLimit) {
            Warn("longer than " + std::to_string(kIniLineLimit) +
                 " characters; the rest of the line is ignored");
            line = line.substr(0, kIniLineLimit);
        }
        line = WithoutComment(line);
        uint16_t serial = 0;
        if (ScanHeader(line, serial)) {
            StartSection(serial);
            return;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return;
        }
        ApplyKey(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
    }

    void StartSection(uint16_t serial)
    {
        if (m_pendingSerial != 0) {
            FinishSection();
            if (m_report.stopped) {
                return;
            }
        }
        if (serial == 0) {
            Warn("[ORV 0] names no instrument; its section is ignored");
        }
        m_record.Clear();
        m_id = CalibrationId{};
        m_pendingSerial = serial;
        m_id.Serial = serial;
        m_fileSerial = 0;
        m_sectionLine = m_lineNumber;
    }

    void FinishSection()
    {
        if (!m_record.CommitFrequencies(m_frequencies)) {
            int zero = 0;
            while (zero < kFrequencyCount && m_frequencies[static_cast<size_t>(zero)] != 0.0) {
                ++zero;
            }
            m_report.warnings.push_back("section [ORV " + std::to_string(m_id.Serial) +
                                        "] of line " + std::to_string(m_sectionLine) +
                                        " is skipped: frequency F" + std::to_string(zero + 1) +
                                        " is 0 or missing");
            return;
        }
        ++m_report.sections;
        if (!m_sink(m_id, m_record)) {
            m_report.stopped = true;
        }
    }

    void ApplyKey(std::string_view key, std::string_view rawValue)
    {
        if (SameText(key, "Comment")) {
            m_record.Comment = m_codePage.ToUtf8(CommentValue(rawValue));
            return;
        }
        const std::string_view value = Unquoted(rawValue);
        if (SameText(key, "Date")) {
            if (!ScanDate(value, m_id)) {
                Warn("the date \"" + std::string(value.substr(0, 40)) +
                     "\" is not dd/mm/yyyy; 01/01/2000 is used");
            }
            return;
        }
        struct Indexed
        {
            std::string_view prefix;
            double* (*field)(Reader&, size_t);
        };
        static constexpr Indexed kIndexed[] = {
            {"F", [](Reader& r, size_t i) { return &r.m_frequencies[i]; }},
            {"XP", [](Reader& r, size_t i) { return &r.m_record.Primary[i].X; }},
            {"YP", [](Reader& r, size_t i) { return &r.m_record.Primary[i].Y; }},
            {"CC", [](Reader& r, size_t i) { return &r.m_record.CurrentCoef[i]; }},
            {"XA", [](Reader& r, size_t i) { return &r.m_record.Air[i].X; }},
            {"YA", [](Reader& r, size_t i) { return &r.m_record.Air[i].Y; }},
            {"IA", [](Reader& r, size_t i) { return &r.m_record.IAir[i]; }},
            {"M1_", [](Reader& r, size_t i) { return &r.m_record.M1[i]; }},
            {"M2_", [](Reader& r, size_t i) { return &r.m_record.M2[i]; }},
            {"GF", [](Reader& r, size_t i) { return &r.m_record.GainFactor[i]; }},
        };
        for (const Indexed& indexed : kIndexed) {
            if (!StartsWith(key, indexed.prefix)) {
                continue;
            }
            size_t pos = indexed.prefix.size();
            ScannedInteger number;
            if (!ScanInteger(key, pos, number)) {
                return;
            }
            const int64_t n = number.Signed();
            if (n < 1 || n > kFrequencyCount) {
                Warn("key " + std::string(key) + " names no frequency 1..14; ignored");
                return;
            }
            SetNumber(key, value, *indexed.field(*this, static_cast<size_t>(n - 1)));
            return;
        }
        if (SameText(key, "rt")) {
            SetNumber(key, value, m_record.rt);
        } else if (SameText(key, "nt")) {
            SetNumber(key, value, m_record.nt);
        } else if (SameText(key, "r1")) {
            SetNumber(key, value, m_record.r1);
        } else if (SameText(key, "r2")) {
            SetNumber(key, value, m_record.r2);
        }
    }

    void SetNumber(std::string_view key, std::string_view value, double& field)
    {
        std::string why;
        if (!ScanNumber(value, field, why)) {
            Warn(std::string(key) + "=" + std::string(value.substr(0, 40)) + " " + why +
                 "; ignored");
        }
    }

    const CodePage& m_codePage;
    const IniSectionSink& m_sink;
    uint16_t m_fileSerial = 0;
    uint16_t m_pendingSerial = 0;
    CalibrationId m_id;
    CalibrationRecord m_record;
    FrequencyTable m_frequencies{};  // file-wide, not per section
    int m_lineNumber = 0;
    int m_sectionLine = 0;
    int m_droppedWarnings = 0;
    IniReadReport m_report;
};

// The written form of a comment: bare when that reads back whole, else quoted.
std::string EncodedComment(std::string_view bytes)
{
    const bool bare = bytes.find_first_of(";\"") == std::string_view::npos &&
                      (bytes.empty() || (!IsBlank(bytes.front()) && !IsBlank(bytes.back())));
    if (bare) {
        return std::string(bytes);
    }
    std::string out = "\"";
    for (const char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

void AppendNumbers(std::string& out, std::string_view heading, const char* format,
                   const auto& valueOf)
{
    out += '\t';
    out += heading;
    out += kLineEnd;
    for (int n = 1; n <= kFrequencyCount; ++n) {
        char key[16];
        std::snprintf(key, sizeof key, format, n);
        out += '\t';
        out += key;
        out += '=';
        out += FormatIniNumber(valueOf(static_cast<size_t>(n - 1)));
        out += kLineEnd;
    }
}

void AppendValue(std::string& out, std::string_view key, double value)
{
    out += '\t';
    out += key;
    out += '=';
    out += FormatIniNumber(value);
    out += kLineEnd;
}

}  // namespace

IniReadReport ReadCalibrationIni(std::span<const uint8_t> bytes, std::string_view fileName,
                                 const CodePage& codePage, const IniSectionSink& sink)
{
    Reader reader(fileName, codePage, sink);
    return reader.Read(bytes);
}

std::string FormatIniNumber(double value)
{
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    if (ec != std::errc()) {
        return "0";
    }
    std::string text(buffer, end);
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void WriteCalibrationSection(std::string& out, const CalibrationId& id,
                             const CalibrationRecord& record, const CodePage& codePage)
{
    char line[96];
    std::snprintf(line, sizeof line, "[ORV %u]", unsigned{id.Serial});
    out += line;
    out += kLineEnd;
    std::snprintf(line, sizeof line, "\tDate=%.02d/%.02d/%u ;in format dd/mm/yyyy", int{id.Day},
                  int{id.Month}, unsigned{id.Year});
    out += line;
    out += kLineEnd;

    std::string bytes = codePage.FromUtf8(record.Comment);
    for (char& c : bytes) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    // Shorten a comment too long for one line of the reader, never inside a UTF-8 character:
    // bare if the cut text may stay bare, else as much as fits in quotes.
    const size_t budget = kIniLineLimit - kCommentKey.size();
    std::string encoded = EncodedComment(bytes);
    if (encoded.size() > budget) {
        const auto cut = [&](size_t keep) {
            if (codePage.GetKind() == CodePage::Kind::Utf8) {
                while (keep > 0 && keep < bytes.size() &&
                       (static_cast<uint8_t>(bytes[keep]) & 0xC0u) == 0x80u) {
                    --keep;
                }
            }
            return bytes.substr(0, keep);
        };
        std::string prefix = cut(budget);
        encoded = EncodedComment(prefix);
        if (encoded.size() > budget) {
            size_t keep = 0;
            size_t cost = 2;  // the quotes
            while (keep < bytes.size()) {
                const size_t next = bytes[keep] == '"' || bytes[keep] == '\\' ? 2 : 1;
                if (cost + next > budget) {
                    break;
                }
                cost += next;
                ++keep;
            }
            encoded = EncodedComment(cut(keep));
        }
    }
    out += kCommentKey;
    out += encoded;
    out += kLineEnd;

    const auto& r = record;
    AppendNumbers(out, ";Frequencies", "F%d", [&](size_t i) { return r.Frequencies[i]; });
    AppendNumbers(out, ";XPrimary", "XP%d", [&](size_t i) { return r.Primary[i].X; });
    AppendNumbers(out, ";YPrimary", "YP%d", [&](size_t i) { return r.Primary[i].Y; });
    AppendNumbers(out, ";CurrentCoef", "CC%d", [&](size_t i) { return r.CurrentCoef[i]; });
    AppendNumbers(out, ";XAir", "XA%d", [&](size_t i) { return r.Air[i].X; });
    AppendNumbers(out, ";YAir", "YA%d", [&](size_t i) { return r.Air[i].Y; });
    AppendNumbers(out, ";IAir", "IA%d", [&](size_t i) { return r.IAir[i]; });
    AppendNumbers(out, ";M1", "M1_%d", [&](size_t i) { return r.M1[i]; });
    AppendNumbers(out, ";M2", "M2_%d", [&](size_t i) { return r.M2[i]; });
    AppendNumbers(out, ";GainFactor", "GF%d", [&](size_t i) { return r.GainFactor[i]; });
    out += "\t;R";
    out += kLineEnd;
    AppendValue(out, "rt", r.rt);
    AppendValue(out, "nt", r.nt);
    AppendValue(out, "r1", r.r1);
    AppendValue(out, "r2", r.r2);
    out += kLineEnd;
}

}  // namespace orv
