#pragma once
// "View settings" (dialog 104): the depth scale, the pixel refinement, the colour charts' ranges
// (automatic or manual) and colours, the measurement timer, and which graphics are shown after
// how many stations. The decisions live in ViewSettingsLogic and ColourMenuLogic.
//
// A tap-and-hold (long press or right button) on a colour strip opens the Colour menu; Change
// and Append ask for a colour with the colour chooser.

#include "ui/CPropertyPageBase.h"
#include "ui/pages/ColourMenuLogic.h"
#include "ui/pages/ViewSettingsLogic.h"

#include <functional>
#include <map>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace orv {

class CPropertyPageW2 final : public CPropertyPageBase
{
    Q_OBJECT

public:
    CPropertyPageW2(SheetLink& sheet, Configuration& config, Prompt& prompt,
                    QWidget* parent = nullptr);

    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;
    void RefreshControls() override;
    void OnTapAndHold(int x, int y) override;

    const ViewSettingsLogic& Logic() const { return m_logic; }
    // The strip of control 1051 (profile chart) or 1052 (area chart), in page coordinates.
    StripRect StripRectOf(int strip) const;
    // Carries out a Colour menu command on the strip tapped last (what the menu does when an
    // item is chosen).
    void OnColourCommand(int command);
    // Replaces the colour chooser (tests).
    void SetColourChooser(ColourMenuLogic::Chooser chooser) { m_chooser = std::move(chooser); }
    // Replaces the pop-up menu: given the strip's items, returns the chosen command or 0.
    void SetMenuRunner(std::function<int(int x, int y)> runner)
    {
        m_menuRunner = std::move(runner);
    }

protected:
    void FieldsToControls() override;
    bool ControlsToFields() override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* Edit(int id) const { return m_edits.at(id); }
    void OnCheck(int id);
    void OnSpin(int spin, int step);
    ColourChart& ChartOf(int strip);
    int RunColourMenu(int x, int y);

    ViewSettingsLogic m_logic;
    ColourMenuLogic m_colourMenu;
    ColourMenuLogic::Chooser m_chooser;
    std::function<int(int, int)> m_menuRunner;
    std::map<int, QLineEdit*> m_edits;
    std::map<int, QCheckBox*> m_checks;
    QWidget* m_profileStrip = nullptr;
    QWidget* m_areaStrip = nullptr;
};

}  // namespace orv
