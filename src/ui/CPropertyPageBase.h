#pragma once
// The common base of the sheet's seven pages. The sheet drives a page through its page events;
// a page fills in the hooks:
//
//   LoadFromConfiguration, StoreToConfiguration, RefreshControls   each page's own
//   OnTapAndHold(x, y)         a long press (touch) or the right mouse button; default nothing
//   ReportMeasurementFailure   sends 9036 to the sheet
//
// plus the data exchange between the page's fields and its controls (FieldsToControls,
// ControlsToFields, the latter with validation) and, for the Main pages, the keys the sheet
// passes on (OnHandheldKey).
//
//   becoming active    first time: InitPage; then LoadFromConfiguration, FieldsToControls,
//                      RefreshControls
//   losing activation  ControlsToFields (on failure the page stays active), then
//                      StoreToConfiguration
//   OK                 ControlsToFields (on failure nothing happens), StoreToConfiguration,
//                      then the sheet's Close command
//   "Next >>"          of the setup pages: as OK, but message 9025 (begin the session)

#include "ui/SheetState.h"

#include <QWidget>

#include <cstdint>
#include <string>

class QBoxLayout;
class QGestureEvent;
class QPushButton;

namespace orv {

class Configuration;
class Prompt;

// What a page may ask of the sheet it belongs to. Messages are handled at once, on the caller's
// (the user-interface) thread.
class SheetLink
{
public:
    virtual ~SheetLink() = default;
    virtual void SendToSheet(uint32_t message, uint64_t wParam, int64_t lParam) = 0;
    virtual void SendCommandToSheet(int command) = 0;
};

class CPropertyPageBase : public QWidget
{
    Q_OBJECT

public:
    CPropertyPageBase(PageId id, SheetLink& sheet, Configuration& config, Prompt& prompt,
                      QWidget* parent = nullptr);

    PageId Id() const { return m_id; }
    // The page's title, string-table text.
    QString Title() const;

    virtual void LoadFromConfiguration() {}
    virtual void StoreToConfiguration() {}
    virtual void RefreshControls() {}
    virtual void OnTapAndHold(int x, int y);
    virtual void ReportMeasurementFailure();

    // Page events, called by the sheet. Pages that do more on activation (the Main pages) extend
    // these and call the base.
    virtual bool OnSetActive();
    // False when the page's controls do not validate: the message was shown and the page must
    // stay active.
    virtual bool OnKillActive();
    void OnOK();
    // A key the sheet passes on to the active Main page, as a key down with the handheld's
    // virtual-key code and the repeat flag (bit 30 of the key data): OnHandheldKey, then the
    // signal KeyReceived.
    void DeliverHandheldKey(uint32_t code, bool repeat);

Q_SIGNALS:
    void KeyReceived(uint32_t code, bool repeat);

protected:
    virtual void OnHandheldKey(uint32_t code, bool repeat);
    // Once, before the page first becomes active (the dialog's initialisation).
    virtual void InitPage() {}
    virtual void FieldsToControls() {}
    // Reads and checks the controls into the fields; on failure shows the message, puts the
    // focus on the offending control and returns false.
    virtual bool ControlsToFields() { return true; }
    // "Next >>" of the setup pages.
    void OnNext();
    // The "Next >>" button (control kNext), alone at the right of a row added to `layout`; the
    // page connects it.
    QPushButton* AddNextButton(QBoxLayout* layout);
    // Shows a validation message the way every page does: exclamation icon, the sheet's title.
    void ShowValidationMessage(const std::string& message);

    SheetLink& Sheet() { return m_sheet; }
    Prompt& PagePrompt() { return m_prompt; }

public:
    // The program's configuration, which the page reads when it becomes active and writes back
    // when it loses activation.
    Configuration& Config() const { return m_config; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool HandleGesture(QGestureEvent* event);

    PageId m_id;
    SheetLink& m_sheet;
    Configuration& m_config;
    Prompt& m_prompt;
    bool m_initialised = false;
};

}  // namespace orv
