#include "calibration/CalibrationStore.h"

#include "base/AtomicFile.h"
#include "base/Prompt.h"
#include "calibration/CalibrationIni.h"
#include "calibration/DefaultCalibration.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <utility>

namespace orv {

namespace {

// A calibration file holds a few dozen records; anything this large is not one.
constexpr size_t kMaxFileSize = size_t{64} << 20;

// The handheld's hash of an identity; its bucket decides the order of the saved file.
uint32_t CalibrationHash(const CalibrationId& id)
{
    const uint32_t packed = uint32_t{id.Month} | uint32_t{id.Day} << 5;
    const uint32_t year = id.Year >= 1990 ? uint32_t{id.Year} - 1990u : uint32_t{id.Year};
    return (year | packed << 7) | uint32_t{id.Serial} << 16;
}

std::string DateText(const CalibrationId& id)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.02d/%.02d/%u", int{id.Day}, int{id.Month},
                  unsigned{id.Year});
    return text;
}

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "Cannot read '" + path + "': it is a folder, not a calibration file.";
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        const int e = errno;
        error = "Cannot open the calibration file '" + path + "': " + std::strerror(e) + ".";
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n == 0) {
            break;
        }
        if (data.size() + n > kMaxFileSize) {
            error = "Cannot read '" + path + "': it is larger than 64 MiB, so it is not a " +
                    "calibration file.";
            return false;
        }
        data.insert(data.end(), chunk, chunk + n);
    }
    if (std::ferror(file.get()) != 0) {
        const int e = errno;
        error = "Cannot read the calibration file '" + path + "': " + std::strerror(e) + ".";
        return false;
    }
    bytes = std::move(data);
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b) {
        return true;
    }
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

}  // namespace

CalibrationStore::CalibrationStore(std::string path, Prompt& prompt, FileSystem& fs)
    : m_path(path.empty() ? std::string("OrvCalibration.ini") : std::move(path)),
      m_prompt(prompt),
      m_fs(fs)
{
    std::string codePageWarning;
    m_codePage = CodePage::FromEnvironment(codePageWarning);
    std::error_code ec;
    const bool exists = std::filesystem::exists(m_path, ec);
    if (ec || exists) {
        std::string error;
        if (!ReadFile(m_path, Mode::Loading, error)) {
            m_loadError = error;
        }
    }
    if (!codePageWarning.empty()) {
        m_warnings.insert(m_warnings.begin(), codePageWarning);
    }
    m_modified = false;
}

CalibrationStore::~CalibrationStore()
{
    if (!m_closed) {
        std::string error;
        [[maybe_unused]] const bool saved = Close(error);
    }
}

CalibrationStore::Entry* CalibrationStore::Find(const CalibrationId& id)
{
    for (Entry& e : m_buckets[CalibrationHash(id) % kBucketCount]) {
        if (e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

const CalibrationStore::Entry* CalibrationStore::Find(const CalibrationId& id) const
{
    return const_cast<CalibrationStore*>(this)->Find(id);
}

bool CalibrationStore::ReadFile(const std::string& path, Mode mode, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        return false;
    }
    std::vector<std::string> notes;
    const IniSectionSink load = [&](const CalibrationId& id, const CalibrationRecord& record) {
        if (Entry* e = Find(id)) {
            if (!e->record.SameCalibration(record)) {
                notes.push_back("[ORV " + std::to_string(id.Serial) + "] dated " + DateText(id) +
                                " appears more than once; the later section is used");
                e->record = record;
            }
            return true;
        }
        m_buckets[CalibrationHash(id) % kBucketCount].push_back({id, record});
        ++m_count;
        return true;
    };
    const IniSectionSink merge = [&](const CalibrationId& id, const CalibrationRecord& record) {
        return Merge(id, record);
    };
    IniReadReport report =
        ReadCalibrationIni(bytes, path, m_codePage, mode == Mode::Loading ? load : merge);
    m_warnings.clear();
    for (std::string& w : report.warnings) {
        m_warnings.push_back(path + ": " + w);
    }
    for (std::string& n : notes) {
        m_warnings.push_back(path + ": " + n);
    }
    return true;
}

bool CalibrationStore::Import(const std::string& path, std::string& error)
{
    return ReadFile(path, Mode::Importing, error);
}

bool CalibrationStore::Merge(const CalibrationId& id, const CalibrationRecord& record)
{
    Entry* existing = Find(id);
    if (existing == nullptr) {
        auto& chain = m_buckets[CalibrationHash(id) % kBucketCount];
        chain.insert(chain.begin(), Entry{id, record});
        ++m_count;
        m_modified = true;
        return true;
    }
    if (existing->record.SameCalibration(record)) {
        return true;
    }
    char text[160];
    char caption[96];
    std::snprintf(text, sizeof text,
                  "Calibration data for TALMIR %u (%.02d/%.02d/%u) already exists. Overwrite it?",
                  unsigned{id.Serial}, int{id.Day}, int{id.Month}, unsigned{id.Year});
    std::snprintf(caption, sizeof caption, "Overwrite TALMIR %u, %.02d/%.02d/%u?",
                  unsigned{id.Serial}, int{id.Day}, int{id.Month}, unsigned{id.Year});
    switch (m_prompt.Ask(text, caption, Buttons::YesNoCancel, Icon::Question)) {
        case Answer::Yes:
            existing->record = record;
            m_modified = true;
            return true;
        case Answer::No:
            return true;
        case Answer::Cancel:
        case Answer::Ok:
            break;
    }
    return false;
}

bool CalibrationStore::Remove(const CalibrationId& id)
{
    auto& chain = m_buckets[CalibrationHash(id) % kBucketCount];
    for (auto it = chain.begin(); it != chain.end(); ++it) {
        if (it->id == id) {
            chain.erase(it);
            --m_count;
            m_modified = true;
            return true;
        }
    }
    return false;
}

bool CalibrationStore::Lookup(const CalibrationId& id, CalibrationRecord& record) const
{
    const Entry* e = Find(id);
    if (e == nullptr) {
        return false;
    }
    record = e->record;
    return true;
}

// An instrument gets its latest calibration dated on or before the wanted date; if all of its
// calibrations are later, the earliest of them; with none of its own, the first record in store
// order.
void CalibrationStore::Select(CalibrationId& id, CalibrationRecord& record) const
{
    if (m_count == 0) {
        DefaultCalibration(record, id);
        return;
    }
    if (const Entry* exact = Find(id)) {
        record = exact->record;
        return;
    }
    const CalibrationId wanted = id;
    const Entry* best = nullptr;
    for (const auto& chain : m_buckets) {
        for (const Entry& candidate : chain) {
            if (best == nullptr) {
                best = &candidate;
                continue;
            }
            const CalibrationId& c = candidate.id;
            const CalibrationId& b = best->id;
            if (c.Serial != wanted.Serial) {
                continue;
            }
            if (b.Serial != wanted.Serial) {
                best = &candidate;
            } else if (wanted < b) {
                if (c < b) {
                    best = &candidate;
                }
            } else if (!(wanted < c) && b < c) {
                best = &candidate;
            }
        }
    }
    id = best->id;
    record = best->record;
}

bool CalibrationStore::Save(const std::string& path, std::string& error)
{
    std::string image;
    ForEach([&](const CalibrationId& id, const CalibrationRecord& record) {
        WriteCalibrationSection(image, id, record, m_codePage);
    });
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(image.data()),
                                         image.size());
    if (!WriteFileAtomically(path, bytes, error, m_fs)) {
        return false;
    }
    // A copy saved elsewhere does not stand for the program's own file.
    if (SameFile(path, m_path)) {
        m_modified = false;
    }
    return true;
}

bool CalibrationStore::Close(std::string& error)
{
    m_closed = true;
    if (!m_modified) {
        return true;
    }
    if (!m_loadError.empty()) {
        error = "The calibrations were not saved to '" + m_path +
                "': the file could not be read at start-up (" + m_loadError +
                ") and saving would replace the calibrations it holds.";
        return false;
    }
    return Save(m_path, error);
}

void CalibrationStore::ForEach(
    const std::function<void(const CalibrationId&, const CalibrationRecord&)>& visit) const
{
    for (const auto& chain : m_buckets) {
        for (const Entry& e : chain) {
            visit(e.id, e.record);
        }
    }
}

int CalibrationStore::Count() const { return m_count; }

bool CalibrationStore::Modified() const { return m_modified; }

const std::string& CalibrationStore::Path() const { return m_path; }

const std::vector<std::string>& CalibrationStore::Warnings() const { return m_warnings; }

const std::string& CalibrationStore::LoadError() const { return m_loadError; }

const CodePage& CalibrationStore::FileCodePage() const { return m_codePage; }

}  // namespace orv
