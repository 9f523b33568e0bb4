#pragma once
// "Static settings" (dialog 103): the work type, the survey size and steps, the active
// frequencies, the tracer switch and the instrument whose calibration is used; "Add" imports a
// calibration file, "Delete" removes a calibration from the store. The logic is
// StaticSettingsLogic; this class mirrors it into the controls.

#include "ui/CPropertyPageBase.h"
#include "ui/pages/StaticSettingsLogic.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class FileChooser;

class CPropertyPageS1 final : public CPropertyPageBase
{
    Q_OBJECT

public:
    CPropertyPageS1(SheetLink& sheet, Configuration& config, Prompt& prompt, FileChooser& files,
                    QWidget* parent = nullptr);

    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;
    void RefreshControls() override;

    const StaticSettingsLogic& Logic() const { return m_logic; }

protected:
    void InitPage() override;
    void FieldsToControls() override;
    bool ControlsToFields() override;

private:
    void BuildControls();
    // Writes the logic's control state (lists, selections, visibility, check marks, enabled
    // states) into the widgets without raising their change signals.
    void SyncControls();
    // The calibration standing in for the instrument heard from, when it has none of its own.
    void ShowStandIn();
    void OnModeChanged(int index);
    void OnFrequencyClicked(int n, bool checked);
    void OnAllClicked(bool checked);
    void OnDeviceChanged(int index);
    void OnAdd();
    void OnDelete();
    QWidget* Control(int id) const;
    bool ReadControls(bool requireFrequency);

    FileChooser& m_files;
    StaticSettingsLogic m_logic;

    QComboBox* m_mode = nullptr;
    QLabel* m_xSizeLabel = nullptr;
    QLabel* m_xStepLabel = nullptr;
    QLabel* m_ySizeLabel = nullptr;
    QLabel* m_yStepLabel = nullptr;
    QLineEdit* m_xSize = nullptr;
    QLineEdit* m_xStep = nullptr;
    QLineEdit* m_ySize = nullptr;
    QLineEdit* m_yStep = nullptr;
    std::array<QCheckBox*, kFrequencyCount> m_frequencies{};
    QCheckBox* m_all = nullptr;
    QComboBox* m_device = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
    QCheckBox* m_trasser = nullptr;
    QPushButton* m_next = nullptr;
    QLabel* m_standIn = nullptr;
};

}  // namespace orv
