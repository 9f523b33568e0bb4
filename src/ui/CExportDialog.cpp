#include "ui/CExportDialog.h"

#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "ui/ResourceText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QMetaObject>
#include <QPointer>
#include <QProgressDialog>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace orv {

namespace {

constexpr ExportFormat kFormats[] = {
    ExportFormat::GeoPackage, ExportFormat::GeoJson, ExportFormat::Kml,
    ExportFormat::Gpx,        ExportFormat::Csv,     ExportFormat::GeosoftXyz,
    ExportFormat::GeoTiff,    ExportFormat::Surfer7, ExportFormat::Surfer6,
};

QString FrequencyLabel(int number, double kilohertz)
{
    if (std::isfinite(kilohertz) && kilohertz > 0.0) {
        return QStringLiteral("%1: %2 kHz").arg(number).arg(kilohertz, 0, 'g', 6);
    }
    return QString::number(number);
}

int IndexOfData(const QComboBox* box, const QVariant& value)
{
    const int index = box->findData(value);
    return index < 0 ? 0 : index;
}

}  // namespace

CExportDialog::CExportDialog(const Configuration& config, bool track, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(ResourceText(string_id::kExportTitle));
    auto* form = new QFormLayout(this);

    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("exportFormat"));
    for (const ExportFormat format : kFormats) {
        if (!FormatAvailable(format)) {
            continue;
        }
        // GPS formats need positions: a grid survey has none of its own.
        if (!track && (format == ExportFormat::Gpx || format == ExportFormat::Kml)) {
            continue;
        }
        m_format->addItem(QString::fromUtf8(FormatDescription(format)), static_cast<int>(format));
    }
    form->addRow(ResourceText(string_id::kExportFormat), m_format);

    m_frequency = new QComboBox(this);
    m_frequency->setObjectName(QStringLiteral("exportFrequency"));
    m_frequency->addItem(ResourceText(string_id::kExportAllFrequencies), 0);
    for (int f = 0; f < kFrequencyCount; ++f) {
        if (config.UsedFrequencies[size_t(f)] != 0) {
            m_frequency->addItem(
                FrequencyLabel(f + 1, config.ActiveCalibration.Frequencies[size_t(f)]), f + 1);
        }
    }
    form->addRow(ResourceText(string_id::kExportFrequency), m_frequency);

    m_unit = new QComboBox(this);
    m_unit->setObjectName(QStringLiteral("exportUnit"));
    m_unit->addItem(ResourceText(string_id::kExportUnitAsShown),
                    static_cast<int>(ExportUnit::AsConfigured));
    m_unit->addItem(QStringLiteral("ADC"), static_cast<int>(ExportUnit::Adc));
    m_unit->addItem(QStringLiteral("Ohm\u00b7m"), static_cast<int>(ExportUnit::OhmMetres));
    m_unit->addItem(QStringLiteral("mS/m"), static_cast<int>(ExportUnit::MilliSiemensPerMetre));
    form->addRow(ResourceText(string_id::kExportUnit), m_unit);

    // The projections need PROJ; an EPSG code may be typed in.
    m_crs = new QComboBox(this);
    m_crs->setObjectName(QStringLiteral("exportCrs"));
    m_crs->addItem(ResourceText(string_id::kExportCrsOwn), QString());
    if (HaveGdal()) {
        m_crs->setEditable(true);
        m_crs->setInsertPolicy(QComboBox::NoInsert);
        if (track) {
            m_crs->addItem(ResourceText(string_id::kExportCrsUtm), QStringLiteral("utm"));
        }
        m_crs->addItem(QStringLiteral("EPSG:4326"), QStringLiteral("EPSG:4326"));
    }
    form->addRow(ResourceText(string_id::kExportCrs), m_crs);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

ExportChoice CExportDialog::Choice() const
{
    ExportChoice choice;
    choice.format = static_cast<ExportFormat>(m_format->currentData().toInt());
    if (const int number = m_frequency->currentData().toInt(); number > 0) {
        choice.frequency = number;
    }
    choice.unit = static_cast<ExportUnit>(m_unit->currentData().toInt());
    // An entry of the list stands for its data; text typed in is taken as it is.
    const int index = m_crs->findText(m_crs->currentText());
    choice.crs = (index >= 0 ? m_crs->itemData(index).toString() : m_crs->currentText().trimmed())
                     .toStdString();
    return choice;
}

void CExportDialog::Select(const ExportChoice& choice)
{
    m_format->setCurrentIndex(IndexOfData(m_format, static_cast<int>(choice.format)));
    m_frequency->setCurrentIndex(IndexOfData(m_frequency, choice.frequency.value_or(0)));
    m_unit->setCurrentIndex(IndexOfData(m_unit, static_cast<int>(choice.unit)));
    const int crs = m_crs->findData(QString::fromStdString(choice.crs));
    if (crs >= 0) {
        m_crs->setCurrentIndex(crs);
    } else if (m_crs->isEditable()) {
        m_crs->setEditText(QString::fromStdString(choice.crs));
    }
}

bool RunExport(QWidget* parent, const StationTable& table, const ExportOptions& options,
               const std::string& path, ExportResult& result, std::string& error)
{
    constexpr int kSteps = 1000;
    QProgressDialog progress(ResourceText(string_id::kExportProgress)
                                 .arg(QFileInfo(QString::fromStdString(path)).fileName()),
                             ResourceText(string_id::kExportCancel), 0, kSteps, parent);
    progress.setObjectName(QStringLiteral("exportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setValue(0);

    std::atomic<bool> cancelled{false};
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancelled] { cancelled = true; });
    QEventLoop loop;
    QPointer<QProgressDialog> shown(&progress);
    bool written = false;
    std::thread worker([&] {
        written = WriteExport(
            table, options, path,
            [&](double done) {
                const int step = static_cast<int>(std::lround(std::clamp(done, 0.0, 1.0) * kSteps));
                QMetaObject::invokeMethod(
                    &loop,
                    [shown, step] {
                        if (shown && step > shown->value()) {
                            shown->setValue(step);
                        }
                    },
                    Qt::QueuedConnection);
                return !cancelled.load();
            },
            result, error);
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // Whatever the worker posted after the loop ended goes with the loop.
    progress.reset();
    return written;
}

}  // namespace orv
