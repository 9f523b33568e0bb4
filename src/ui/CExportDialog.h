#pragma once
// Session > Export...: what to export (format, one frequency or every active one, unit,
// coordinates), and the export itself on a worker thread behind a progress dialog the operator
// may cancel. The stations are collected on the window's thread (they read the configuration);
// only the writing runs on the worker, so the window keeps drawing meanwhile.

#include "exchange/Exporter.h"
#include "exchange/StationTable.h"

#include <QDialog>

#include <optional>
#include <string>

class QComboBox;

namespace orv {

class Configuration;

struct ExportChoice
{
    ExportFormat format = ExportFormat::GeoPackage;
    std::optional<int> frequency;  // 1..14; every active one when empty
    ExportUnit unit = ExportUnit::AsConfigured;
    std::string crs;  // "", "utm" or what PROJ takes ("EPSG:32633")
};

class CExportDialog final : public QDialog
{
public:
    // Offers the formats this build writes and the frequencies active in `config`, with their
    // frequency where the active calibration gives it.
    CExportDialog(const Configuration& config, bool track, QWidget* parent);
    [[nodiscard]] ExportChoice Choice() const;
    // For tests and for a second export in a row: selects a choice's entries.
    void Select(const ExportChoice& choice);

private:
    QComboBox* m_format = nullptr;
    QComboBox* m_frequency = nullptr;
    QComboBox* m_unit = nullptr;
    QComboBox* m_crs = nullptr;
};

// Writes `table` on a worker thread while a progress dialog over `parent` shows the share done;
// its Cancel stops the export (the target is then left as it was). Returns as WriteExport does.
[[nodiscard]] bool RunExport(QWidget* parent, const StationTable& table,
                             const ExportOptions& options, const std::string& path,
                             ExportResult& result, std::string& error);

}  // namespace orv
