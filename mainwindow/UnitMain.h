#pragma once
// TFormMain: the program's one window. It is built from the stored design
// (FormMain.ui) and binds the controls' events to its handlers, which are
// named after the control and the event. The search panel's rules live in
// SearchPanelModel; the settings in SettingsStore; the help pages in
// HelpPages and JpegPicture.

#include "PostReference.h"
#include "SearchPanel.h"
#include "SettingsStore.h"
#include "SheetDrop.h"

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <QPoint>

namespace Ui {
class FormMain;
}

class QTimer;

namespace tenmari {

class TplButton;

class TFormMain : public QWidget, private PanelHost {
    Q_OBJECT

public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The built design, for tests and for the picture-making tools.
    Ui::FormMain& form() { return *ui_; }
    SearchPanelModel& searchPanel() { return *panel_; }
    TPostReference& PostReference1() { return postReference_; }

    // Window-wide values.
    QString SoftName, VersionNo, VersionDate, JishoInfo;
    QString ExeDir;
    std::array<QString, 10> JishoPath;
    StoredSettings Stored;  // the settings file's values, as the window now holds them
    int WinState = 1;
    int HelpPage = 1;

    // Start-up, settings and region.
    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void SettingR1();
    void SettingW1();
    void JishoFile();
    void CBoxChihouChange();
    void PanelChihouDblClick();
    void PlBtnCloseClick();

    // Layout, moving without a title bar, hover.
    void WindowMode();
    int TitleOffset() const;
    bool FormMouseDown(Qt::MouseButtons buttons);  // true when a move started
    void PlBtnCloseMouseEnter(QObject* sender);
    void PlBtnCloseMouseLeave(QObject* sender);

    // Settings panel and window modes.
    void plBtnSettingClick();
    void RBtnSetting();
    void ChkNodoClick();
    void ChkTopPositionClick();
    void ChkTBarClick();

    // Help viewer.
    void plBtnHelpClick();
    void plBtnBackClick();
    void plBtnFrontClick();
    void HelpHelp();

    // True once the settings of this run have been written.
    bool settingsWritten() const { return settingsWritten_; }
    // Writes the settings unless they were written already (every way of
    // closing and the end of the session come here).
    void saveSettingsOnce();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A CSV list dropped on the window (SheetDropModel).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // PanelHost
    void processPendingEvents() override;
    void expandResults() override;
    void collapse() override;
    void focusInput(SearchMode mode) override;
    DisplayOptions displayOptions() const override;

    void bindEvents();
    // The code, address and result fields and the candidate list, for screen readers.
    void nameFieldsByTheirLabels();
    void bindSearchPanel();
    // Sets the window's frame and stacking from CkTitle/CkTemae-to-be; a
    // visible window is rebuilt and shown again (running FormShow).
    void applyWindowFlags(bool onTop, bool noTitleBar);
    void setClientHeight(int height);
    void placeSoftTitle(bool noTitleBar);
    void focusCurrentInput();
    void placeCorner(QPoint corner);
    // After a rebuild: keeps the outer corner at lastCorner_ while the window
    // manager frames the new window.
    void holdCorner();
    void checkCorner();

    std::unique_ptr<Ui::FormMain> ui_;
    TPostReference postReference_;
    PostReferenceLookup lookup_{postReference_};
    SystemClipboard clipboard_;
    std::unique_ptr<SearchPanelModel> panel_;
    std::unique_ptr<SheetDropModel> sheetDrop_;
    bool settingsWritten_ = false;
    QPoint lastCorner_;  // where the show-time steps put the outer corner
    QTimer* cornerTimer_ = nullptr;
    int cornerChecks_ = 0;
};

}  // namespace tenmari
