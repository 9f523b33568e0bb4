#pragma once
// "Settings" (dialog 102): the signal options — what the graphics show for each frequency (raw
// signals in ADC units with their corrections, or apparent resistivity or conductivity) and
// which component of the complex signal. The decisions live in SignalSettingsLogic.

#include "ui/CPropertyPageBase.h"
#include "ui/pages/SignalSettingsLogic.h"

#include <map>

class QAbstractButton;
class QLineEdit;

namespace orv {

class CPropertyPageW1 final : public CPropertyPageBase
{
    Q_OBJECT

public:
    CPropertyPageW1(SheetLink& sheet, Configuration& config, Prompt& prompt,
                    QWidget* parent = nullptr);

    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;
    void RefreshControls() override;

    const SignalSettingsLogic& Logic() const { return m_logic; }

protected:
    void FieldsToControls() override;
    bool ControlsToFields() override;

private:
    void OnCommand(int id);
    void ShowChecks();
    // Reads the check boxes without handlers (their state lives in the controls).
    void ReadChecks();

    SignalSettingsLogic m_logic;
    std::map<int, QAbstractButton*> m_buttons;
    QLineEdit* m_powerModule = nullptr;
    QLineEdit* m_powerQuadrature = nullptr;
    QLineEdit* m_powerInphase = nullptr;
};

}  // namespace orv
