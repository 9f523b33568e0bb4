#pragma once
// "Other settings" (dialog 137): the Bluetooth port numbers of the instrument and of the GPS
// receiver, and the GPS receiver's speed. Choosing another speed closes the link at once, both
// ports, so the next Start connects with the settings then in force.

#include "ui/CPropertyPageBase.h"
#include "ui/pages/OtherSettingsLogic.h"

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace orv {

class CPropertyPageS2 final : public CPropertyPageBase
{
    Q_OBJECT

public:
    // `closeLink` closes the instrument and the GPS port and stops the reader.
    CPropertyPageS2(SheetLink& sheet, Configuration& config, Prompt& prompt,
                    std::function<void()> closeLink, QWidget* parent = nullptr);

    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;

    const OtherSettingsLogic& Logic() const { return m_logic; }

protected:
    void InitPage() override;
    void FieldsToControls() override;
    bool ControlsToFields() override;

private:
    void SyncList();
    void OnBaudChanged(int index);

    std::function<void()> m_closeLink;
    OtherSettingsLogic m_logic;
    QLineEdit* m_instrumentPort = nullptr;
    QLineEdit* m_gpsPort = nullptr;
    QComboBox* m_baud = nullptr;
    QPushButton* m_next = nullptr;
};

}  // namespace orv
