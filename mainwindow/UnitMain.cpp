#include "UnitMain.h"

#include "DataNotice.h"

#include "ControlAccessibility.h"
#include "DesignForm.h"
#include "HelpPages.h"
#include "JpegPicture.h"
#include "Notifier.h"
#include "Regions.h"
#include "SingleLinePaste.h"
#include "SheetDropDialog.h"
#include "WindowLayout.h"
#include "WindowMove.h"
#include "WindowSystem.h"
#include "WrittenAddressAnswerer.h"
#include "plButton.h"
#include "ui_FormMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

// Resources of a static library are registered by name, outside any namespace.
static void initWindowResources() { Q_INIT_RESOURCE(icons); }

namespace tenmari {
namespace {

// After a rebuild the corner is watched for 1.5 s.
constexpr int kCornerCheckMs = 50;
constexpr int kCornerChecks = 30;
constexpr QRgb kWhite = 0xFFFFFFFF;

QString utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The character a key types, as a character filter sees it; 0 for keys that
// type nothing (arrows, Delete, Tab and the like).
char16_t typedCharacter(const QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0;
    default: break;
    }
    const QString text = e->text();
    return text.isEmpty() ? char16_t{0} : text.at(0).unicode();
}

// The outer corner to keep in the stored MainTop/MainLeft: the window's own where the
// platform tells it, the values held so far where it does not (native Wayland).
QPoint cornerToKeep(const QWidget* w, int top, int left) {
    return cornerToRemember(windowPositionKnown(), currentOuterCorner(w), QPoint(left, top));
}

// The name a screen reader gives a field: the words its label shows, without
// the colon and what follows it ("郵便番号：〒" names the code field 郵便番号).
QString spokenLabel(const QLabel* label) { return spokenCaption({label->text()}).section(QChar(0xFF1A), 0, 0); }

void setBase(QWidget* w, QRgb color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(color));
    w->setPalette(pal);
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::FormMain>()) {
    initWindowResources();
    ui_->setupUi(this);
    applyDesign(this);
    // Where the window cannot be see-through as a whole, its body is painted
    // see-through instead, into a window that has an alpha channel.
    if (!windowOpacityAvailable()) setAttribute(Qt::WA_TranslucentBackground);
    setWindowIcon(designIcon(QStringLiteral("emblem"), {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {52, 52}}));
    for (const Region& r : regions()) ui_->CBoxChihou->addItem(utf8(r.item));

    // PostReference1: design PostFile, and the not-found event, which tells
    // the search a missing dictionary from a record not found.
    postReference_.SetPostFile("Ken_all.csv");
    postReference_.OnNotPostFile = [this](TPostReference& s) { lookup_.PostReference1NotPostFile(s); };

    panel_ = std::make_unique<SearchPanelModel>(lookup_, clipboard_, static_cast<PanelHost&>(*this), this);
    // Before the keystroke filters, which see the paste keys first.
    keepFirstLineOfPastes(ui_->EditZip1);
    keepFirstLineOfPastes(ui_->EditJusho1);
    nameFieldsByTheirLabels();
    bindSearchPanel();
    bindEvents();
    // A dropped CSV list is answered from the nationwide dictionary.
    sheetDrop_ = std::make_unique<SheetDropModel>(
        [this] {
            return std::make_unique<sheet::WrittenAddressAnswerer>(QFile::encodeName(JishoPath[0]).toStdString());
        },
        [this] { return std::make_unique<SheetDropDialog>(this); });
    setAcceptDrops(true);
    FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::nameFieldsByTheirLabels() {
    Ui::FormMain& f = *ui_;
    f.EditZip1->setAccessibleName(spokenLabel(f.LblBango));
    f.EditJusho1->setAccessibleName(spokenLabel(f.LblJusho));
    f.EditJusho->setAccessibleName(spokenLabel(f.LblKekka1));
    f.ListBox1->setAccessibleName(spokenLabel(f.LblKekka2));
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() && SheetDropModel::wanted(*event->mimeData())) event->acceptProposedAction();
}

// The drop is answered at once; the list is converted once the drag source
// has been told, so that no program waits on the message box.
void TFormMain::dropEvent(QDropEvent* event) {
    if (!event->mimeData()) return;
    event->acceptProposedAction();
    auto dropped = std::make_shared<QMimeData>();
    for (const QString& format : event->mimeData()->formats())
        dropped->setData(format, event->mimeData()->data(format));
    QTimer::singleShot(0, this, [this, dropped] { sheetDrop_->drop(*dropped); });
}

// ---------------------------------------------------------------------------
// Event bindings: every control event and the handler it runs.

void TFormMain::bindEvents() {
    Ui::FormMain& f = *ui_;
    // Start-up, region and closing.
    connect(f.CBoxChihou, &QComboBox::activated, this, [this] { CBoxChihouChange(); });
    connect(f.PanelChihou, &TPanel::OnDblClick, this, [this] { PanelChihouDblClick(); });
    connect(f.PlBtnClose, &TplButton::OnClick, this, [this] { PlBtnCloseClick(); });
    // Moving the window by its body: the window, PnlMain, the title band.
    for (QWidget* w :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(f.PnlMain), static_cast<QWidget*>(f.Panel3)}) {
        w->installEventFilter(this);
    }
    for (QWidget* w : f.Panel3->findChildren<QWidget*>()) w->installEventFilter(this);
    // The hover pair of every button but the title band.
    for (TplButton* b : findChildren<TplButton*>()) {
        if (!b->property("hoverPair").toBool()) continue;
        connect(b, &TplButton::OnMouseEnter, this, [this](QObject* s) { PlBtnCloseMouseEnter(s); });
        connect(b, &TplButton::OnMouseLeave, this, [this](QObject* s) { PlBtnCloseMouseLeave(s); });
    }
    // Settings panel and window modes.
    connect(f.plBtnSetting, &TplButton::OnClick, this, [this] { plBtnSettingClick(); });
    for (QRadioButton* r : {f.RBtnJusho, f.RBtnBango}) {
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) RBtnSetting();
        });
    }
    for (QCheckBox* c : {f.ChkMark, f.ChkHyphen}) {
        connect(c, &QCheckBox::toggled, this, [this] { RBtnSetting(); });
    }
    connect(f.ChkNodo, &QCheckBox::toggled, this, [this] { ChkNodoClick(); });
    connect(f.ChkTopPosition, &QCheckBox::toggled, this, [this] { ChkTopPositionClick(); });
    connect(f.ChkTBar, &QCheckBox::toggled, this, [this] { ChkTBarClick(); });
    // Help viewer.
    connect(f.plBtnHelp, &TplButton::OnClick, this, [this] { plBtnHelpClick(); });
    connect(f.plBtnBack, &TplButton::OnClick, this, [this] { plBtnBackClick(); });
    connect(f.plBtnFront, &TplButton::OnClick, this, [this] { plBtnFrontClick(); });
}

// The search panel's controls and its model, both ways.
void TFormMain::bindSearchPanel() {
    Ui::FormMain& f = *ui_;
    SearchPanelModel* m = panel_.get();
    // Controls to handlers.
    connect(f.RBtnBangoKensaku, &QRadioButton::toggled, m, [m](bool on) {
        if (on) m->RBtnBangoKensakuClick();
    });
    connect(f.RBtnJushoKensaku, &QRadioButton::toggled, m, [m](bool on) {
        if (on) m->RBtnJushoKensakuClick();
    });
    f.EditZip1->installEventFilter(this);    // EditZip1KeyPress
    f.EditJusho1->installEventFilter(this);  // EditJusho1KeyPress
    connect(f.EditZip1, &QLineEdit::textChanged, m, &SearchPanelModel::setZipText);
    connect(f.EditJusho1, &QLineEdit::textChanged, m, &SearchPanelModel::setAddressText);
    connect(f.plBtnKensaku, &TplButton::OnClick, m, [m] { m->plBtnKensakuClick(); });
    connect(f.plBtnClear1, &TplButton::OnClick, m, [m] { m->plBtnClear1Click(); });
    connect(f.plBtnCopy, &TplButton::OnClick, m, [m] { m->plBtnCopyClick(); });
    f.ListBox1->setModel(m->candidates());
    // Only a selected row is a choice: a list that regains focus makes its
    // first row current without selecting it, and that must not fill the result.
    connect(f.ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, m, [m, v = f.ListBox1] {
        const QModelIndexList rows = v->selectionModel()->selectedRows();
        if (rows.isEmpty()) return;
        m->setSelectedIndex(rows.front().row());
        m->ListBox1Click();
    });
    connect(f.ListBox1, &QListView::clicked, m, [m] { m->ListBox1Click(); });
    connect(f.ListBox1, &QListView::doubleClicked, m, [m] { m->ListBox1DblClick(); });

    // Model to controls.
    connect(m, &SearchPanelModel::zipTextChanged, f.EditZip1, [e = f.EditZip1](const QString& t) {
        if (e->text() != t) e->setText(t);
    });
    connect(m, &SearchPanelModel::addressTextChanged, f.EditJusho1, [e = f.EditJusho1](const QString& t) {
        if (e->text() != t) e->setText(t);
    });
    connect(m, &SearchPanelModel::statusChanged, f.PanelInfo, &TPanel::SetCaption);
    connect(m, &SearchPanelModel::searchEnabledChanged, f.plBtnKensaku, &QWidget::setEnabled);
    connect(m, &SearchPanelModel::searchCaptionChanged, f.plBtnKensaku,
            [b = f.plBtnKensaku](const QString& t) { b->CaptionA()->SetCaption(t); });
    connect(m, &SearchPanelModel::resultTextChanged, f.EditJusho, &QLineEdit::setText);
    connect(m, &SearchPanelModel::copyEnabledChanged, f.plBtnCopy, &QWidget::setEnabled);
    connect(m, &SearchPanelModel::inputStateChanged, this, [this, m] {
        Ui::FormMain& u = *ui_;
        u.EditZip1->setEnabled(m->zipEnabled());
        u.LblBango->setEnabled(m->zipEnabled());
        u.EditJusho1->setEnabled(m->addressEnabled());
        u.LblJusho->setEnabled(m->addressEnabled());
        setBase(u.EditZip1, m->zipColor());
        setBase(u.EditJusho1, m->addressColor());
    });
    connect(m, &SearchPanelModel::selectedIndexChanged, f.ListBox1, [v = f.ListBox1, m](int row) {
        const QModelIndex index = row >= 0 ? m->candidates()->index(row, 0) : QModelIndex();
        if (v->currentIndex() != index) v->setCurrentIndex(index);
        if (!index.isValid()) v->clearSelection();
    });
    connect(m, &SearchPanelModel::modeChanged, this, [this, m] {
        if (m->mode() == SearchMode::Code) ui_->RBtnBangoKensaku->setChecked(true);
        if (m->mode() == SearchMode::Address) ui_->RBtnJushoKensaku->setChecked(true);
    });

    // The model's initial state.
    f.PanelInfo->SetCaption(m->status());
    f.plBtnKensaku->setEnabled(m->searchEnabled());
    f.plBtnCopy->setEnabled(m->copyEnabled());
    setBase(f.EditZip1, kWhite);
    setBase(f.EditJusho1, kWhite);
}

// ---------------------------------------------------------------------------
// Start-up, settings and region.

void TFormMain::FormCreate() {
    VersionNo = QStringLiteral("1.22");
    VersionDate = QStringLiteral("2007.04.05");
    SoftName = QStringLiteral("Tenmari");
    JishoInfo = QStringLiteral("2007年03月30日現在の郵便番号辞書を使用");
    SettingR1();
    setWindowTitle(SoftName);
    // Task bars that show icon titles name the window by the product title.
    setWindowIconText(applicationTitle());
    ui_->LabelSoft->SetCaption(SoftName + QStringLiteral("Software"));
    ui_->LabelVer1->SetCaption(QStringLiteral("Version ") + VersionNo + QStringLiteral(" （") + VersionDate +
                               QStringLiteral("版）"));
    ui_->EditZip1->clear();
    ui_->EditJusho->clear();
    ui_->EditJusho1->clear();
    ui_->PanelChihou->SetCaption(QString());
    HelpPage = 1;
    WinState = kCompact;
    applyWindowFlags(Stored.CkTemae == 1, Stored.CkTitle == 1);
    if (Stored.CkTemae == 1) ui_->ChkTopPosition->setChecked(true);
    if (!stayOnTopAvailable()) {
        // Shown as it is stored, and kept for the sessions that can do it.
        ui_->ChkTopPosition->setEnabled(false);
        ui_->ChkTopPosition->setToolTip(QStringLiteral("この画面環境（Wayland）では常に手前に表示できません"));
    }
    if (Stored.CkTitle == 1) {
        placeSoftTitle(true);
        ui_->ChkTBar->setChecked(true);
    }
    WindowMode();
    JishoFile();
    ui_->CBoxChihou->setCurrentIndex(Stored.Jisho >= 0 && Stored.Jisho < kRegionCount ? Stored.Jisho : -1);
}

void TFormMain::FormShow() {
    int top = Stored.MainTop;
    int left = Stored.MainLeft;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->geometry().size();
        if (top > s.height() - 20) top = 0;
        if (left > s.width() - 20) left = 0;
    }
    placeCorner(QPoint(left, top));
    if (Stored.CkHyoji == 0) ui_->RBtnJusho->setChecked(true);
    if (Stored.CkHyoji == 1) ui_->RBtnBango->setChecked(true);
    if (Stored.CkMark == 1) ui_->ChkMark->setChecked(true);
    if (Stored.CkHifun == 1) ui_->ChkHyphen->setChecked(true);
    if (Stored.CkTomei == 1) ui_->ChkNodo->setChecked(true);
    ui_->RBtnBangoKensaku->setChecked(true);
    panel_->RBtnBangoKensakuClick();
}

void TFormMain::placeCorner(QPoint corner) {
    // The outer corner, placed by the program rather than by the window
    // manager, also when it is where Qt already thinks the window is.
    lastCorner_ = corner;
    QWindow* handle = windowHandle();
    if (handle && windowFlags().testFlag(Qt::FramelessWindowHint)) {
        handle->setPosition(corner);  // no frame: the corner is the window's own
        return;
    }
    move(corner);
    if (handle) handle->setFramePosition(corner);
}

void TFormMain::FormCloseQuery() { saveSettingsOnce(); }

void TFormMain::saveSettingsOnce() {
    if (settingsWritten_) return;
    settingsWritten_ = true;
    SettingW1();
}

void TFormMain::SettingR1() {
    ExeDir = QCoreApplication::applicationDirPath();
    QStringList typeErrors;
    const StoredSettings s = SettingsStore::read(typeErrors);
    for (const QString& e : typeErrors) notifier().error(e);
    Stored = s;
    for (int i = 0; i < kRegionCount; ++i) {
        JishoPath[static_cast<size_t>(i)] = ExeDir + u'/' + utf8(kJishoFolder) + u'/' + utf8(region(i).fileName);
    }
}

void TFormMain::SettingW1() {
    StoredSettings s = Stored;
    const QPoint corner = cornerToKeep(this, Stored.MainTop, Stored.MainLeft);
    s.MainTop = corner.y();
    s.MainLeft = corner.x();
    QString error;
    if (!SettingsStore::write(s, ExeDir, error)) notifier().error(error);
}

void TFormMain::JishoFile() {
    if (Stored.Jisho < 0 || Stored.Jisho >= kRegionCount) return;
    ui_->PanelChihou->SetCaption(utf8(region(Stored.Jisho).caption));
    postReference_.SetPostFile(QFile::encodeName(JishoPath[static_cast<size_t>(Stored.Jisho)]).toStdString());
}

void TFormMain::CBoxChihouChange() {
    const int i = ui_->CBoxChihou->currentIndex();
    if (i >= 0 && i < kRegionCount) Stored.Jisho = i;
    JishoFile();
    focusCurrentInput();
}

void TFormMain::PanelChihouDblClick() {
    if (ui_->PanelChihou->Caption() == JishoInfo) {
        JishoFile();
    } else {
        // The date of the dictionary in use, not a fixed one.
        JishoInfo = dataNotice(QFile::decodeName(QByteArray::fromStdString(postReference_.PostFile())));
        ui_->PanelChihou->SetCaption(JishoInfo);
    }
}

void TFormMain::PlBtnCloseClick() { close(); }

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown by the program (first show, rebuilt window), not restored by the desktop.
    if (!event->spontaneous()) FormShow();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}

// ---------------------------------------------------------------------------
// Layout, moving without a title bar, hover.

int TFormMain::TitleOffset() const { return ui_->ChkTBar->isChecked() ? kNoTitleOffset : 0; }

void TFormMain::setClientHeight(int height) {
    ui_->PnlMain->resize(kWindowWidth, height);
    setFixedSize(kWindowWidth, height);
}

void TFormMain::WindowMode() {
    const WindowLayout l = windowLayout(WinState, TitleOffset());
    if (!l.valid) return;
    Ui::FormMain& f = *ui_;
    if (!l.animate) setClientHeight(l.mainHeight);
    f.PnlKensaku->move(f.PnlKensaku->x(), l.kensakuTop);
    f.PnlBtn1->move(f.PnlBtn1->x(), l.buttonRowTop);
    f.PnlBtn2->move(f.PnlBtn2->x(), l.buttonRowTop);
    if (l.hideKekka) f.PnlKekka->hide();
    if (l.kekkaTopSet) f.PnlKekka->move(f.PnlKekka->x(), l.kekkaTop);
    if (l.showKekka) f.PnlKekka->show();
    if (l.settingFollows) f.PnlSetting->move(f.PnlSetting->x(), f.PnlKensaku->y());
    if (l.helpFollows) f.PnlHelp->move(f.PnlHelp->x(), f.PnlKensaku->y());
    if (l.animate) {
        // Five steps of 29 pixels with a 1 ms pause each, then 3 back.
        const std::vector<int> steps = growthSteps(f.PnlMain->height());
        for (size_t i = 0; i < steps.size(); ++i) {
            setClientHeight(steps[i]);
            if (i + 1 < steps.size()) QThread::msleep(1);
        }
    }
    WinState = l.nextState;
}

bool TFormMain::FormMouseDown(Qt::MouseButtons buttons) {
    if (!ui_->ChkTBar->isChecked() || !(buttons & Qt::LeftButton)) return false;
    if (cornerTimer_) cornerTimer_->stop();  // the user moves it now
    return startWindowMove(this);
}

void TFormMain::PlBtnCloseMouseEnter(QObject* sender) {
    if (auto* b = qobject_cast<TplButton*>(sender)) {
        const TColor begin = b->GradBeginColor();
        b->SetGradBeginColor(b->GradEndColor());
        b->SetGradEndColor(begin);
    }
}

void TFormMain::PlBtnCloseMouseLeave(QObject* sender) { PlBtnCloseMouseEnter(sender); }

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    Ui::FormMain& f = *ui_;
    if (event->type() == QEvent::KeyPress && (watched == f.EditZip1 || watched == f.EditJusho1)) {
        const char16_t ch = typedCharacter(static_cast<QKeyEvent*>(event));
        if (ch == 0) return false;
        return watched == f.EditZip1 ? panel_->EditZip1KeyPress(ch) : panel_->EditJusho1KeyPress(ch);
    }
    if (event->type() == QEvent::MouseButtonPress) {
        // Only presses on the window's body and the title band; a press on
        // another panel reaches here only by propagation and is not ours.
        const auto* m = static_cast<QMouseEvent*>(event);
        QWidget* hit = childAt(mapFromGlobal(m->globalPosition().toPoint()));
        const bool body = hit == nullptr || hit == f.PnlMain || hit == f.Panel3 || f.Panel3->isAncestorOf(hit);
        if (body && FormMouseDown(m->buttons())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// The window's frame and stacking.

void TFormMain::applyWindowFlags(bool onTop, bool noTitleBar) {
    Qt::WindowFlags flags = Qt::Window;
    if (noTitleBar) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint;
    }
    if (onTop) flags |= Qt::WindowStaysOnTopHint;
    if (flags == windowFlags()) return;
    const bool wasVisible = isVisible();
    setWindowFlags(flags);  // rebuilds the native window, which hides it
    if (!wasVisible) return;
    show();  // and the show-time steps run again
    holdCorner();
}

// The window manager frames the rebuilt window in its own time, and Qt learns
// the frame's size only then: the corner is checked for a while and put back
// whenever it is elsewhere; the checks stop when the user starts moving the
// window.
void TFormMain::holdCorner() {
    if (!cornerTimer_) {
        cornerTimer_ = new QTimer(this);
        cornerTimer_->setInterval(kCornerCheckMs);
        connect(cornerTimer_, &QTimer::timeout, this, &TFormMain::checkCorner);
    }
    cornerChecks_ = 0;
    cornerTimer_->start();
}

void TFormMain::checkCorner() {
    if (!isVisible() || ++cornerChecks_ > kCornerChecks) {
        cornerTimer_->stop();
        return;
    }
    // The native window's frame: QWidget::frameGeometry() keeps the frame
    // size it last saw, which is none just after the rebuild. The client is
    // placed inside the frame now known, as a request for the frame's own
    // corner can go by the frame of before.
    QWindow* handle = windowHandle();
    if (!handle || handle->frameGeometry().topLeft() == lastCorner_) return;
    const QMargins frame = handle->frameMargins();
    handle->setPosition(lastCorner_ + QPoint(frame.left(), frame.top()));
}

void TFormMain::placeSoftTitle(bool noTitleBar) {
    if (noTitleBar) {
        ui_->plBtnSoftTitle->setGeometry(2, 2, 445, ui_->plBtnSoftTitle->height());
    } else {
        ui_->plBtnSoftTitle->setGeometry(8, 6, 434, ui_->plBtnSoftTitle->height());
    }
}

void TFormMain::focusCurrentInput() {
    if (ui_->RBtnBangoKensaku->isChecked()) ui_->EditZip1->setFocus();
    if (ui_->RBtnJushoKensaku->isChecked()) ui_->EditJusho1->setFocus();
}

// ---------------------------------------------------------------------------
// Settings panel and window modes.

void TFormMain::plBtnSettingClick() {
    Ui::FormMain& f = *ui_;
    if (!f.PnlHelp->isHidden()) {
        notifier().beep();
        notifier().message(QStringLiteral("説明書を開いている間は、ｿﾌﾄｳｪｱの設定・切替えはできません"));
        return;
    }
    if (f.PnlSetting->isHidden()) {
        f.PnlSetting->show();
        f.plBtnSetting->CaptionB()->SetCaption(QStringLiteral("設定終了"));
    } else {
        f.PnlSetting->hide();
        f.plBtnSetting->CaptionB()->SetCaption(QStringLiteral("設　定　"));
        focusCurrentInput();
    }
}

void TFormMain::RBtnSetting() {
    Ui::FormMain& f = *ui_;
    if (f.PnlSetting->isHidden()) return;
    if (f.RBtnJusho->isChecked()) Stored.CkHyoji = 0;
    if (f.RBtnBango->isChecked()) Stored.CkHyoji = 1;
    Stored.CkMark = f.ChkMark->isChecked() ? 1 : 0;
    Stored.CkHifun = f.ChkHyphen->isChecked() ? 1 : 0;
}

void TFormMain::ChkNodoClick() {
    const bool on = ui_->ChkNodo->isChecked();
    if (windowOpacityAvailable()) {
        setWindowOpacity(on ? 200.0 / 255.0 : 1.0);
    } else if (on) {
        auto* effect = new QGraphicsOpacityEffect(ui_->PnlMain);
        effect->setOpacity(200.0 / 255.0);
        ui_->PnlMain->setGraphicsEffect(effect);  // replaces and deletes any earlier one
    } else {
        ui_->PnlMain->setGraphicsEffect(nullptr);
    }
    Stored.CkTomei = on ? 1 : 0;
}

void TFormMain::ChkTopPositionClick() {
    if (ui_->PnlSetting->isHidden()) return;
    const QPoint corner = cornerToKeep(this, Stored.MainTop, Stored.MainLeft);
    Stored.MainTop = corner.y();
    Stored.MainLeft = corner.x();
    const bool on = ui_->ChkTopPosition->isChecked();
    applyWindowFlags(on, windowFlags().testFlag(Qt::FramelessWindowHint));
    Stored.CkTemae = on ? 1 : 0;
}

void TFormMain::ChkTBarClick() {
    if (ui_->PnlSetting->isHidden()) return;
    const QPoint corner = cornerToKeep(this, Stored.MainTop, Stored.MainLeft);
    Stored.MainTop = corner.y();
    Stored.MainLeft = corner.x();
    const bool onTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (ui_->ChkTBar->isChecked()) {
        applyWindowFlags(onTop, true);
        placeSoftTitle(true);
        WindowMode();
        Stored.CkTitle = 1;
        notifier().beep();
        notifier().message(QStringLiteral("ｿﾌﾄｳｪｱのﾀｲﾄﾙ部分（緑色）をﾄﾞﾗｯｸﾞすると移動できます"));
    } else {
        applyWindowFlags(onTop, false);
        placeSoftTitle(false);
        WindowMode();
        Stored.CkTitle = 0;
    }
}

// ---------------------------------------------------------------------------
// Help viewer.

void TFormMain::plBtnHelpClick() {
    Ui::FormMain& f = *ui_;
    TplButton* b = f.plBtnHelp;
    if (b->CaptionB()->Caption().isEmpty()) {
        f.PnlHelp->show();
        b->CaptionA()->SetCaption(QStringLiteral("説明書を"));
        b->CaptionA()->SetRight(3);
        b->CaptionB()->SetCaption(QStringLiteral("閉じる"));
        b->SetCaptionTop(10);
        if (WinState == kCompact) {
            WinState = kExpanded;
            WindowMode();
        }
        f.PnlHelp->move(f.PnlHelp->x(), f.PnlKensaku->y());
        HelpHelp();
    } else {
        f.PnlHelp->hide();
        b->CaptionA()->SetCaption(QStringLiteral("説明書"));
        b->CaptionA()->SetRight(10);
        b->CaptionB()->SetCaption(QString());
        b->SetCaptionTop(17);
        if (f.PnlKekka->isHidden()) {
            WinState = kCompact;
            WindowMode();
        }
        focusCurrentInput();
    }
}

void TFormMain::plBtnBackClick() {
    --HelpPage;
    HelpHelp();
}

void TFormMain::plBtnFrontClick() {
    ++HelpPage;
    HelpHelp();
}

void TFormMain::HelpHelp() {
    const HelpPageContent* page = helpPage(HelpPage);
    if (!page) return;
    Ui::FormMain& f = *ui_;
    const QString path = helpPicturePath(ExeDir, *page);
    f.MemoHelp->setPlainText(helpMemoText(*page));
    f.plBtnBack->setEnabled(applyButtonEffect(page->back, f.plBtnBack->isEnabled()));
    f.plBtnFront->setEnabled(applyButtonEffect(page->front, f.plBtnFront->isEnabled()));
    f.SsEditHelp->SetText(page->counter);
    const JpegResult picture = loadJpegPicture(path, f.ImgHelp->size());
    if (!picture.ok()) {
        notifier().error(picture.error);
        return;
    }
    f.ImgHelp->SetPicture(QPixmap::fromImage(picture.image));
}

// ---------------------------------------------------------------------------
// What the search panel asks of the window.

void TFormMain::processPendingEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void TFormMain::expandResults() {
    if (WinState != kCompact) return;
    ui_->PnlKekka->show();
    WinState = kExpandRequest;
    WindowMode();
}

void TFormMain::collapse() {
    WinState = kCompact;
    WindowMode();
}

void TFormMain::focusInput(SearchMode mode) {
    if (mode == SearchMode::Code) ui_->EditZip1->setFocus();
    if (mode == SearchMode::Address) ui_->EditJusho1->setFocus();
}

DisplayOptions TFormMain::displayOptions() const {
    return {ui_->RBtnBango->isChecked(), ui_->ChkMark->isChecked(), ui_->ChkHyphen->isChecked()};
}

}  // namespace tenmari
